#include "controls/SpinNumberField.h"

#include "platform/AppEvent.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>

CSpinNumberField::CSpinNumberField(QWidget* parent)
    : QLineEdit(parent)
{
    setFrame(false);
    // Dropped text would bypass the character filter.
    setAcceptDrops(false);
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (!m_settingText)
            OnTextChanged();
    });
    ShowText(m_number.Text());
}

void CSpinNumberField::SetRange(double minimum, double maximum)
{
    m_number.SetRange(minimum, maximum);
    // A value left outside the new range would be handed to the caller as it stands.
    if (m_number.Value() > maximum || m_number.Value() < minimum)
        SetValue(m_number.Value());
}

void CSpinNumberField::SetFormat(int width, int decimals)
{
    m_number.SetFormat(width, decimals);
}

void CSpinNumberField::SetValue(double value)
{
    m_number.SetValue(value);
    m_setByProgram = true;
    ShowText(m_number.Text());
}

void CSpinNumberField::StepUp(int count)
{
    m_number.StepUp(count);
    ShowText(m_number.Text());
    emit notification(AppEventType::kEditValueChanged);
    setModified(true);
}

void CSpinNumberField::StepDown(int count)
{
    m_number.StepDown(count);
    ShowText(m_number.Text());
    emit notification(AppEventType::kEditValueChanged);
    setModified(true);
}

void CSpinNumberField::ShowText(const QString& text)
{
    m_settingText = true;
    setText(text);
    m_settingText = false;
    OnTextChanged();
}

void CSpinNumberField::OnTextChanged()
{
    // The value always follows the text, even when the text shows a number out of range.
    m_number.SetFromText(text());
    const bool silent = m_silentNextChange || m_setByProgram;
    m_setByProgram = false;
    if (silent)
        m_silentNextChange = false;
    else
        emit notification(AppEventType::kEditValueChanged);
}

void CSpinNumberField::RewriteText()
{
    m_number.SetFromText(text());
    ShowText(m_number.Text());
}

void CSpinNumberField::Reset()
{
    SetValue(m_number.ResetValue());
    emit notification(AppEventType::kEditChangeEnd);
}

bool CSpinNumberField::FiltersOut(const QString& typed)
{
    if (typed.isEmpty() || !typed.at(0).isPrint())
        return false; // editing keys and shortcuts (Backspace, Ctrl+V ...) keep their meaning
    if (typed.size() != 1)
        return true;
    const QChar character = typed.at(0);
    const qsizetype start = hasSelectedText() ? selectionStart() : cursorPosition();
    const qsizetype end = hasSelectedText() ? selectionEnd() : cursorPosition();
    return !CSpinValue::AcceptsCharacter(character, text(), start, end);
}

void CSpinNumberField::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (!m_keyStepping) {
            emit notification(AppEventType::kEditChangeBegin);
            m_keyStepping = true;
        }
        if (event->key() == Qt::Key_Up)
            StepUp(1);
        else
            StepDown(1);
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (isModified()) {
            RewriteText();
            emit notification(AppEventType::kEditChangeEnd);
            setModified(false);
        }
        // The line edit passes Enter on, so the dialog still sees it.
        QLineEdit::keyPressEvent(event);
        return;
    default:
        break;
    }
    if (event->text() == QLatin1String("/")) {
        Reset();
        event->accept();
        return;
    }
    if (FiltersOut(event->text())) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void CSpinNumberField::keyReleaseEvent(QKeyEvent* event)
{
    const bool stepKey = event->key() == Qt::Key_Up || event->key() == Qt::Key_Down;
    if (!stepKey || event->isAutoRepeat()) {
        QLineEdit::keyReleaseEvent(event);
        return;
    }
    selectAll();
    m_keyStepping = false;
    if (m_optionFlags & kEndOnKeyOrButtonRelease)
        emit notification(AppEventType::kEditChangeEnd);
    event->accept();
}

void CSpinNumberField::focusOutEvent(QFocusEvent* event)
{
    // A context menu borrows the focus only for a moment; the edit goes on.
    if (event->reason() != Qt::PopupFocusReason) {
        EndDrag();
        if (isModified()) {
            RewriteText();
            if (m_optionFlags & kEndOnFocusLoss)
                emit notification(AppEventType::kEditChangeEnd);
        }
    }
    QLineEdit::focusOutEvent(event);
}

void CSpinNumberField::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        // The press grabs the mouse until release, so moves outside the field still arrive.
        setFocus(Qt::MouseFocusReason);
        m_dragReferenceY = event->position().toPoint().y();
        m_buttonHeld = true;
        setCursor(Qt::SizeVerCursor);
    }
    QLineEdit::mousePressEvent(event);
}

void CSpinNumberField::mouseMoveEvent(QMouseEvent* event)
{
    const int y = event->position().toPoint().y();
    if (m_buttonHeld && !m_dragging) {
        // Moving along the field selects text; only leaving it above or below starts a drag.
        if (y >= 0 && y <= height()) {
            QLineEdit::mouseMoveEvent(event);
            return;
        }
        emit notification(AppEventType::kEditChangeBegin);
        m_dragging = true;
    }
    if (m_dragging) {
        DragTo(y);
        event->accept();
        return;
    }
    QLineEdit::mouseMoveEvent(event);
}

void CSpinNumberField::DragTo(int y)
{
    // One step per mouse message, however far the pointer went; small moves keep the old
    // reference so that slow drags still add up to a step.
    if (m_dragReferenceY - y >= kDragStepPixels) {
        StepUp(1);
        m_dragReferenceY = y;
    } else if (y - m_dragReferenceY >= kDragStepPixels) {
        StepDown(1);
        m_dragReferenceY = y;
    }
}

void CSpinNumberField::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const bool wasDragging = m_dragging;
        EndDrag();
        if (wasDragging && (m_optionFlags & kEndOnDragEnd)) {
            emit notification(AppEventType::kEditChangeEnd);
            setModified(false);
        }
    }
    QLineEdit::mouseReleaseEvent(event);
}

void CSpinNumberField::EndDrag()
{
    m_buttonHeld = false;
    m_dragging = false;
    setCursor(Qt::IBeamCursor);
}

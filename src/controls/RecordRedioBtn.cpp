#include "controls/RecordRedioBtn.h"

#include "controls/SkinIndicator.h"
#include "platform/AppEvent.h"

#include <QPainter>
#include <QRadioButton>

namespace
{
// A checked radio button of an auto-exclusive set refuses to be unchecked on its own; the
// uncheck order comes from outside that set, so lift the rule for the moment.
void UncheckRadio(QRadioButton* button)
{
    const bool exclusive = button->autoExclusive();
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(exclusive);
}
} // namespace

QRadioButton* CRecordRedioBtn::Create(const QString& text, QWidget* parent)
{
    auto* button = new QRadioButton(text, parent);
    Attach(button);
    return button;
}

CRecordRedioBtn* CRecordRedioBtn::Attach(QRadioButton* button)
{
    if (!button)
        return nullptr;
    if (CRecordRedioBtn* existing = Of(button))
        return existing;
    return new CRecordRedioBtn(button);
}

CRecordRedioBtn* CRecordRedioBtn::Of(const QAbstractButton* button)
{
    return button ? button->findChild<CRecordRedioBtn*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

CRecordRedioBtn::CRecordRedioBtn(QRadioButton* button)
    : QObject(button)
    , m_button(button)
{
    m_button->setAutoFillBackground(false);
    m_button->installEventFilter(this);
    connect(m_button, &QAbstractButton::toggled, this, [this](bool checked) {
        if (checked)
            ClearRadioSiblings();
    });
    // clicked() follows the check, so the parent already sees the new choice.
    connect(m_button, &QAbstractButton::clicked, this, [this] {
        if (QWidget* parent = m_button->parentWidget())
            CAppEvent::Send(parent, AppEventType::kSourceSelected);
    });
    m_button->update();
}

bool CRecordRedioBtn::GetCheck() const
{
    return m_button->isChecked();
}

void CRecordRedioBtn::SetCheck(bool checked, bool force)
{
    if (checked == m_button->isChecked() && !force)
        return;
    if (!checked)
        Uncheck();
    else if (m_button->isChecked())
        ClearRadioSiblings();
    else
        m_button->setChecked(true); // toggled() clears the siblings
    m_button->repaint();
}

void CRecordRedioBtn::ClearRadioSiblings()
{
    QWidget* parent = m_button->parentWidget();
    if (!parent)
        return;
    // Siblings stacked above this button first, then those below it.
    const QObjectList& siblings = parent->children();
    const qsizetype self = siblings.indexOf(m_button);
    QObjectList ordered = siblings.mid(self + 1);
    ordered += siblings.mid(0, self);
    for (QObject* sibling : ordered) {
        auto* radio = qobject_cast<QRadioButton*>(sibling);
        if (!radio)
            continue;
        if (Of(radio))
            CAppEvent::Send(radio, kUncheckYourself);
        else if (radio->isChecked())
            UncheckRadio(radio);
    }
}

void CRecordRedioBtn::Uncheck()
{
    if (!m_button->isChecked())
        return;
    UncheckRadio(m_button);
    m_button->repaint();
}

bool CRecordRedioBtn::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_button)
        return false;
    if (event->type() == kUncheckYourself) {
        Uncheck();
        return true;
    }
    if (event->type() == QEvent::Paint) {
        Paint();
        return true;
    }
    return false;
}

void CRecordRedioBtn::Paint()
{
    QPainter painter(m_button);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect box = SkinIndicator::BoxRect(m_button);
    painter.setPen(m_button->palette().color(QPalette::WindowText));
    painter.setBrush(SkinIndicator::BoxFill(m_button));
    painter.drawEllipse(QRectF(box).adjusted(0.5, 0.5, -0.5, -0.5));
    if (m_button->isChecked()) {
        const int quarter = box.width() / 4;
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        painter.drawEllipse(box.adjusted(quarter, quarter, -quarter, -quarter));
    }
    painter.setRenderHint(QPainter::Antialiasing, false);
    SkinIndicator::PaintText(painter, m_button);
}

#include "controls/EditCtrl.h"

#include "controls/ControlId.h"
#include "controls/SpinArrowButton.h"
#include "platform/AppEvent.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cstdint>
#include <limits>

namespace
{
const QMargins kSunkenInset(2, 2, 3, 3);
const QMargins kFlatInset(1, 1, 1, 1);
constexpr QSize kPreferredSize(80, 22);

const QColor kSunkenOuterShadow(152, 152, 152);
const QColor kSunkenInnerLight(192, 192, 192);
const QColor kFlatShadow(10, 10, 10);
const QColor kFlatLight(240, 240, 240);

// A one-pixel ring: top and left in one colour, right and bottom in the other.
void DrawRing(QPainter& painter, const QRect& ring, const QColor& topLeft, const QColor& bottomRight)
{
    const int x = ring.x();
    const int y = ring.y();
    const int width = ring.width();
    const int height = ring.height();
    painter.fillRect(QRect(x, y, width - 1, 1), topLeft);
    painter.fillRect(QRect(x, y, 1, height - 1), topLeft);
    painter.fillRect(QRect(x + width - 1, y, 1, height), bottomRight);
    painter.fillRect(QRect(x, y + height - 1, width, 1), bottomRight);
}

// The dialog's own font, so the number reads like the labels beside it; made smaller only when
// its whole character cell would not fit the field's height.
QFont FieldFont(const QFont& dialogFont, int cellHeight)
{
    QFont font = dialogFont;
    const int height = std::max(1, cellHeight);
    const int measured = QFontMetrics(font).height();
    if (measured > height)
        font.setPixelSize(std::max(1, QFontInfo(font).pixelSize() * height / measured));
    return font;
}

int TruncatedToInt(double value)
{
    // Truncation of a value outside int's range is undefined; the range may well be wider.
    constexpr double kLowest = std::numeric_limits<int>::min();
    constexpr double kHighest = std::numeric_limits<int>::max();
    if (!(value >= kLowest))
        return std::numeric_limits<int>::min();
    if (value > kHighest)
        return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}
} // namespace

CEditCtrl::CEditCtrl(QWidget* parent, int style)
    : QWidget(parent)
    , m_style(style)
    , m_field(new CSpinNumberField(this))
{
    ControlId::Set(m_field, CSpinNumberField::kControlId);
    setFocusProxy(m_field);
    setFocusPolicy(m_field->focusPolicy());
    connect(m_field, &CSpinNumberField::notification, this, &CEditCtrl::PassOn);

    if (m_style & kStyleArrowButtons) {
        m_upButton = new CSpinArrowButton(CSpinArrowButton::Direction::Up, this);
        m_downButton = new CSpinArrowButton(CSpinArrowButton::Direction::Down, this);
        ControlId::Set(m_upButton, kUpButtonId);
        ControlId::Set(m_downButton, kDownButtonId);
        const struct
        {
            CSpinArrowButton* button;
            QTimer* timer;
        } arrows[] = {{m_upButton, &m_upRepeat}, {m_downButton, &m_downRepeat}};
        for (const auto& arrow : arrows) {
            arrow.timer->setSingleShot(true);
            connect(arrow.button, &QAbstractButton::pressed, this,
                    [this, arrow] { OnArrowPressed(arrow.button, *arrow.timer); });
            connect(arrow.button, &QAbstractButton::released, this, [this, arrow] { OnArrowReleased(*arrow.timer); });
            connect(arrow.timer, &QTimer::timeout, this, [this, arrow] { OnRepeat(arrow.button, *arrow.timer); });
        }
    }
    resize(kPreferredSize);
    LayOut();
}

QWidget* CEditCtrl::Create(QWidget* parent)
{
    return new CEditCtrl(parent);
}

void CEditCtrl::SetRange(double minimum, double maximum)
{
    m_field->SetRange(minimum, maximum);
}

void CEditCtrl::SetFormat(int width, int decimals)
{
    m_field->SetFormat(width, decimals);
}

void CEditCtrl::SetStep(double step)
{
    m_field->SetStep(step);
}

void CEditCtrl::SetValue(double value)
{
    m_field->SetValue(value);
}

double CEditCtrl::GetValue() const
{
    return m_field->Value();
}

void CEditCtrl::StepUp(int count)
{
    m_field->StepUp(count);
}

void CEditCtrl::StepDown(int count)
{
    m_field->StepDown(count);
}

int CEditCtrl::GetOptionFlags() const
{
    return m_field->OptionFlags();
}

void CEditCtrl::SetOptionFlags(int flags)
{
    m_field->SetOptionFlags(flags);
}

void CEditCtrl::FocusNumberField()
{
    m_field->setFocus(Qt::OtherFocusReason);
}

void CEditCtrl::Exchange(float& variable, bool save)
{
    if (save)
        variable = static_cast<float>(GetValue());
    else
        SetValue(variable);
}

void CEditCtrl::Exchange(int& variable, bool save)
{
    if (save)
        variable = TruncatedToInt(GetValue());
    else
        SetValue(variable);
}

QSize CEditCtrl::sizeHint() const
{
    // Taller with a larger desktop font, so the number keeps the labels' size.
    const int fontHeight = fontMetrics().height() + kSunkenInset.top() + kSunkenInset.bottom() + 2;
    return QSize(kPreferredSize.width(), std::max(kPreferredSize.height(), fontHeight));
}

void CEditCtrl::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    LayOut();
}

QMargins CEditCtrl::BorderInset() const
{
    if (m_style & kStyleSunkenBorder)
        return kSunkenInset;
    if (m_style & kStyleFlatBorder)
        return kFlatInset;
    return {};
}

void CEditCtrl::LayOut()
{
    const QRect inset = rect().marginsRemoved(BorderInset());
    const int height = inset.height();
    // Right and bottom edges one past the last pixel, so the divisions below keep their sizes.
    const int right = inset.x() + inset.width();
    const int bottom = inset.y() + inset.height();
    if (m_upButton && m_downButton) {
        const int columnWidth = 2 * height / 3;
        const int column = right - columnWidth;
        const int buttonWidth = std::max(0, columnWidth - 1);
        const int buttonHeight = std::max(0, height / 2 - 1);
        m_upButton->setGeometry(column, inset.y(), buttonWidth, buttonHeight);
        m_downButton->setGeometry(column, bottom - height / 2, buttonWidth, buttonHeight);
        m_field->setGeometry(inset.x(), inset.y(), std::max(0, column - 1 - inset.x()), std::max(0, height));
    } else {
        m_field->setGeometry(inset.x(), inset.y(), std::max(0, inset.width()), std::max(0, height));
    }
    m_field->setFont(FieldFont(font(), m_field->height()));
}

void CEditCtrl::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    // The rings run round the client area less its last column and row.
    const QRect outer(0, 0, width() - 1, height() - 1);
    if (m_style & kStyleSunkenBorder) {
        DrawRing(painter, outer, kSunkenOuterShadow, Qt::white);
        DrawRing(painter, outer.adjusted(1, 1, -1, -1), Qt::black, kSunkenInnerLight);
    } else {
        DrawRing(painter, outer, kFlatShadow, kFlatLight);
    }
}

void CEditCtrl::PassOn(int code)
{
    CAppEvent::Send(parentWidget(), code, ControlId::Of(this), reinterpret_cast<std::intptr_t>(this));
}

void CEditCtrl::StepWith(const CSpinArrowButton* button)
{
    if (button->ArrowDirection() == CSpinArrowButton::Direction::Up)
        StepUp(1);
    else
        StepDown(1);
}

void CEditCtrl::OnArrowPressed(CSpinArrowButton* button, QTimer& timer)
{
    StepWith(button);
    timer.start(kFirstRepeatDelayMs);
}

void CEditCtrl::OnRepeat(CSpinArrowButton* button, QTimer& timer)
{
    timer.start(kRepeatPeriodMs);
    StepWith(button);
}

void CEditCtrl::OnArrowReleased(QTimer& timer)
{
    timer.stop();
    if (GetOptionFlags() & CSpinNumberField::kEndOnKeyOrButtonRelease)
        PassOn(AppEventType::kEditChangeEnd);
}

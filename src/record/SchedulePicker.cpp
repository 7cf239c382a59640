#include "record/SchedulePicker.h"

#include "platform/AppEvent.h"

#include <QDateTime>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPalette>

namespace
{
const QColor kUnselectedBackground(200, 200, 200);
constexpr const char* kTimeFormat = "HH:mm:ss";
} // namespace

CSchedulePicker::CSchedulePicker(QWidget* parent)
    : QTimeEdit(parent)
    , m_date(QDate::currentDate())
{
    setDisplayFormat(QLatin1String(kTimeFormat));
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Clicks on the text land on the inner line edit, not on the picker itself.
    lineEdit()->installEventFilter(this);
    ApplyLook();
}

void CSchedulePicker::SetSeconds(std::uint32_t seconds)
{
    const QDateTime local = QDateTime::fromSecsSinceEpoch(qint64(seconds));
    m_date = local.date();
    setTime(local.time());
}

std::uint32_t CSchedulePicker::Seconds()
{
    interpretText();
    return std::uint32_t(QDateTime(m_date, time()).toSecsSinceEpoch());
}

void CSchedulePicker::SetSelected(bool selected)
{
    if (m_selected == selected) {
        return;
    }
    m_selected = selected;
    ApplyLook();
    repaint();
}

void CSchedulePicker::ApplyLook()
{
    QPalette colours = palette();
    const QColor base = m_selected ? QPalette().color(QPalette::Base) : kUnselectedBackground;
    colours.setColor(QPalette::Base, base);
    colours.setColor(QPalette::Window, m_selected ? QPalette().color(QPalette::Window) : kUnselectedBackground);
    setPalette(colours);
}

void CSchedulePicker::OnClicked()
{
    m_selected = true;
    ApplyLook();
    CAppEvent::Send(window(), kPickerClicked, 0, reinterpret_cast<std::intptr_t>(this));
}

void CSchedulePicker::mousePressEvent(QMouseEvent* event)
{
    OnClicked();
    QTimeEdit::mousePressEvent(event);
    repaint();
}

bool CSchedulePicker::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lineEdit() && event->type() == QEvent::MouseButtonPress) {
        OnClicked();
        repaint();
    }
    return QTimeEdit::eventFilter(watched, event);
}

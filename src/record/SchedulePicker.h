#pragma once

#include <QDate>
#include <QTimeEdit>
#include <cstdint>

// One time picker of the "Time Record Setup" dialog: the local time of day of a schedule time,
// with up-down arrows. Only the time of day is edited; the date part of the value it was given
// is kept and handed back with it. Unless it is selected, the picker is drawn on grey, so the
// selected row stands out in normal colours. A click selects it and tells the window with
// CAppEvent 0x500 (kPickerClicked, lParam = the picker) before the click is handled as usual.
class CSchedulePicker : public QTimeEdit
{
    Q_OBJECT

public:
    static constexpr int kPickerClicked = 0x500;

    explicit CSchedulePicker(QWidget* parent = nullptr);

    // Seconds since 1970-01-01 00:00:00 UTC.
    void SetSeconds(std::uint32_t seconds);
    // The value with any time typed so far taken in.
    std::uint32_t Seconds();

    bool IsSelected() const { return m_selected; }
    void SetSelected(bool selected);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnClicked();
    void ApplyLook();

    QDate m_date;
    bool m_selected = false;
};

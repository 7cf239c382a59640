#pragma once

#include <QRect>
#include <QWidget>

// The close and minimize buttons painted at the right end of the title band, in place of the
// system caption the frameless window lacks. A press marks a button and tracks the mouse; the
// release over the same button acts, a release elsewhere or a right-button press cancels.
class CCaptionButtons : public QWidget
{
    Q_OBJECT

public:
    enum Button
    {
        kClose = 0,
        kMinimize = 1,
        kNone = 2,
    };

    static constexpr int kMinimumButtonWidth = 24;
    static constexpr int kButtonHeight = 25;

    explicit CCaptionButtons(QWidget* owner);

    // Places the buttons at the top-right corner of the owner's client area.
    void PlaceInOwner();
    // In the owner's client coordinates.
    QRect CloseRect() const;
    QRect MinimizeRect() const;
    Button Pressed() const { return m_pressed; }
    // Which button lies under a point of the owner's client area.
    Button ButtonAt(const QPoint& ownerPoint) const;
    // Acts as a completed click on the button (for screen readers).
    void Activate(Button button);
    static QString ButtonName(Button button);

signals:
    void closeClicked();
    void minimizeClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    static int ButtonWidth();
    QRect LocalRect(Button button) const;
    Button LocalButtonAt(const QPoint& point) const;
    void DrawButton(QPainter& painter, Button button) const;

    Button m_pressed = kNone;
    bool m_tracking = false;
};

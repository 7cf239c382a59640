#pragma once

#include "controls/SkinImage.h"

#include <QAbstractButton>

// A round push button drawn from two skin pictures (up and down) over its window's published
// background (SkinBackground). The button takes the pictures' size and the inscribed ellipse
// as its shape: presses in the corners go to the widget behind it. Every completed click flips
// the held-down state before `clicked` is emitted; in toggle mode that state chooses the
// picture (a latching button), otherwise the down picture shows only while the mouse is held.
// The button's text is its tool tip.
class CSkinButton : public QAbstractButton
{
    Q_OBJECT

public:
    // How far inside the picture's edge the keyboard focus ring runs.
    static constexpr int kFocusInset = 3;

    explicit CSkinButton(QWidget* parent = nullptr);

    // Loads ":/skin/<upId>.btn" and ":/skin/<downId>.btn" and resizes the button to them.
    // False (and the button keeps its previous pictures) when either is missing or damaged.
    bool LoadSkin(int upId, int downId);
    // Same with pictures at hand; both must have the same, non-zero size.
    bool SetSkin(CSkinImage up, CSkinImage down);

    void SetToggleMode(bool toggle);
    bool IsToggleMode() const { return m_toggleMode; }
    // The latched look of toggle mode; repaints at once.
    void SetHeldDown(bool down);
    bool IsHeldDown() const { return m_heldDown; }

    // The button's picture as it is drawn now: the chosen image blended onto the background.
    QImage ComposedPicture() const;
    // The same at twice the pixels (device pixel ratio 2) from the high-density pictures; null
    // without them.
    QImage ComposedDoublePicture() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    const CSkinImage& ShownPicture(bool doubleSize) const;
    bool InsideEllipse(const QPoint& pos) const;

    CSkinImage m_up;
    CSkinImage m_down;
    // The same pictures at twice the size for high-density screens; null when there are none.
    CSkinImage m_upDouble;
    CSkinImage m_downDouble;
    bool m_toggleMode = false;
    bool m_heldDown = false;
};

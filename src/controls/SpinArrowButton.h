#pragma once

#include <QAbstractButton>
#include <QColor>

// One of the two small buttons beside a spin edit's number: a raised box (sunk while held) with
// a grey triangle pointing up or down. Holding it is what counts, so it reports press and
// release and leaves the stepping to its spin edit.
class CSpinArrowButton : public QAbstractButton
{
    Q_OBJECT

public:
    enum class Direction
    {
        Up,
        Down
    };

    static constexpr QRgb kTriangleColour = 0x606060; // RGB(96, 96, 96)
    static constexpr int kFocusInset = 10;

    CSpinArrowButton(Direction direction, QWidget* parent);

    Direction ArrowDirection() const { return m_direction; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Direction m_direction;
};

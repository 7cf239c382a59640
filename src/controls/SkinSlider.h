#pragma once

#include "controls/SkinImage.h"

#include <QSlider>

// A slider drawn over its window's published background (SkinBackground): a picture thumb
// (pressed look while it is being dragged) on a picture track whose part on the minimum side of
// the thumb is tinted (fill mode, the default), or on a plain sunken channel (fill mode off).
// Horizontal and vertical orientations use their own pictures. Mouse: dragging the thumb moves
// it (sliderPressed / sliderMoved / sliderReleased as a QSlider); a click on the track beside
// the thumb pages towards the click.
class CSkinSlider : public QSlider
{
    Q_OBJECT

public:
    static constexpr int kHorizontalTrackId = 165;
    static constexpr int kHorizontalThumbPressedId = 166;
    static constexpr int kHorizontalThumbReleasedId = 167;
    static constexpr int kVerticalTrackId = 174;
    static constexpr int kVerticalThumbPressedId = 175;
    static constexpr int kVerticalThumbReleasedId = 176;
    // The tint of the filled part of the track, RGB(200, 200, 0).
    static constexpr unsigned kFillTint = 0xC8C800;

    explicit CSkinSlider(Qt::Orientation orientation, QWidget* parent = nullptr);

    void SetFillMode(bool fill);
    bool IsFillMode() const { return m_fillMode; }

    // Where the thumb picture lies now, in widget coordinates.
    QRect ThumbRect() const;
    // The channel the track picture is drawn in, in widget coordinates.
    QRect ChannelRect() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void EnsurePictures();
    QSize ThumbSize() const;
    int SpanLength() const;
    bool UpsideDown() const;
    int AlongAxis(const QPoint& point) const;
    QImage TrackLayer(const QRect& channel) const;
    void PaintTicks(QPainter& painter) const;

    bool m_fillMode = true;
    bool m_picturesLoaded = false;
    Qt::Orientation m_picturesOrientation = Qt::Horizontal;
    CSkinImage m_track;
    CSkinImage m_thumbPressed;
    CSkinImage m_thumbReleased;
    // The knob at twice the pixels for high-density screens; null when not shipped.
    CSkinImage m_thumbPressedDouble;
    CSkinImage m_thumbReleasedDouble;
    int m_dragOffset = 0;
};

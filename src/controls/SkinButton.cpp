#include "controls/SkinButton.h"

#include "controls/SkinBackground.h"

#include <QHelpEvent>
#include <QPainter>
#include <QRegion>
#include <QToolTip>

CSkinButton::CSkinButton(QWidget* parent)
    : QAbstractButton(parent)
{
    // Connected before anyone else can connect, so every receiver of clicked() already sees
    // the flipped state.
    connect(this, &QAbstractButton::clicked, this, [this] {
        m_heldDown = !m_heldDown;
        update();
    });
    // A click on a skinned button leaves the keyboard focus where the user was working.
    setFocusPolicy(Qt::TabFocus);
}

bool CSkinButton::LoadSkin(int upId, int downId)
{
    CSkinImage up;
    CSkinImage down;
    if (!up.LoadResource(upId) || !down.LoadResource(downId))
        return false;
    return SetSkin(std::move(up), std::move(down));
}

bool CSkinButton::SetSkin(CSkinImage up, CSkinImage down)
{
    if (up.IsNull() || up.Width() != down.Width() || up.Height() != down.Height())
        return false;
    m_up = std::move(up);
    m_down = std::move(down);
    const QSize size(m_up.Width(), m_up.Height());
    setFixedSize(size);
    setMask(QRegion(QRect(QPoint(0, 0), size), QRegion::Ellipse));
    update();
    return true;
}

void CSkinButton::SetToggleMode(bool toggle)
{
    m_toggleMode = toggle;
    update();
}

void CSkinButton::SetHeldDown(bool down)
{
    m_heldDown = down;
    repaint();
}

QImage CSkinButton::ComposedPicture() const
{
    const bool showDown = m_toggleMode ? m_heldDown : isDown();
    const CSkinImage& picture = showDown ? m_down : m_up;
    if (picture.IsNull())
        return {};
    QImage surface = SkinBackground::Under(this);
    if (surface.isNull()) {
        // No window skin to blend into: let Qt's own background show through the soft edges.
        surface = QImage(size(), QImage::Format_ARGB32_Premultiplied);
        surface.fill(Qt::transparent);
        QPainter painter(&surface);
        painter.drawImage(QPoint(0, 0), SkinBackground::ToQImage(picture));
        return surface;
    }
    SkinBackground::Composite(surface, picture, QPoint(0, 0));
    return surface;
}

QSize CSkinButton::sizeHint() const
{
    return m_up.IsNull() ? QSize() : QSize(m_up.Width(), m_up.Height());
}

void CSkinButton::paintEvent(QPaintEvent*)
{
    const QImage picture = ComposedPicture();
    if (picture.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), picture);
}

bool CSkinButton::hitButton(const QPoint& pos) const
{
    return InsideEllipse(pos);
}

bool CSkinButton::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (text().isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text(), this);
        return true;
    }
    return QAbstractButton::event(event);
}

bool CSkinButton::InsideEllipse(const QPoint& pos) const
{
    const double radiusX = width() / 2.0;
    const double radiusY = height() / 2.0;
    if (radiusX <= 0 || radiusY <= 0)
        return false;
    // Pixel centres, so the test agrees with the window's elliptic mask.
    const double dx = (pos.x() + 0.5 - radiusX) / radiusX;
    const double dy = (pos.y() + 0.5 - radiusY) / radiusY;
    return dx * dx + dy * dy <= 1.0;
}

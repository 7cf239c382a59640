#include "app/ElapsedTimeLabel.h"

#include "app/AppAccessibility.h"

#include <QColor>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

namespace
{
constexpr const char* kFontFamily = "Arial";
constexpr int kFontWeight = 500;
constexpr int kItalicHeight = 30;
constexpr int kItalicAverageWidth = 15;
constexpr int kPlainHeight = 25;
constexpr int kPlainAverageWidth = 10;
constexpr int kPercent = 100;
constexpr int kMaximumStretch = 4000;
constexpr int kSmallestPixelSize = 8;
const QColor kTextColour(0, 0, 255);
const QColor kItalicPanelColour(225, 225, 225);
} // namespace

CElapsedTimeLabel::CElapsedTimeLabel(QWidget* parent, bool italic)
    : QWidget(parent)
    , m_italic(italic)
    , m_font(MakeFont(italic))
{
    AppAccessibility::EnsureInstalled();
    setAccessibleName(QStringLiteral("Elapsed time"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QFont CElapsedTimeLabel::MakeFont(bool italic)
{
    QFont font{QString::fromLatin1(kFontFamily)};
    font.setWeight(QFont::Weight(kFontWeight));
    font.setItalic(italic);
    font.setStyleStrategy(QFont::PreferAntialias);
    const int height = italic ? kItalicHeight : kPlainHeight;
    const int averageWidth = italic ? kItalicAverageWidth : kPlainAverageWidth;
    font.setPixelSize(height);
    // The text keeps its fixed character width whatever the font's own proportions.
    const int naturalWidth = QFontMetrics(font).averageCharWidth();
    if (naturalWidth > 0) {
        font.setStretch(
            std::clamp(averageWidth * kPercent / naturalWidth, int(QFont::UltraCondensed), kMaximumStretch));
    }
    return font;
}

void CElapsedTimeLabel::SetText(const QString& text)
{
    if (text == m_text) {
        return;
    }
    m_text = text;
    repaint();
}

void CElapsedTimeLabel::SetBackgroundSnapshot(const QImage* snapshot)
{
    m_snapshot = snapshot;
    update();
}

CElapsedTimeLabel::TextPlacement CElapsedTimeLabel::PlaceText() const
{
    // The digits' ink, not the font's line box, is what must fit: a line box of the label's
    // size would push the ink of a tall font through the band's bottom edge. A text wider or
    // taller than the label gets a smaller font rather than being cut.
    TextPlacement placement{m_font, {}, {}};
    QFontMetrics metrics(placement.font);
    QRect ink = metrics.tightBoundingRect(m_text);
    while ((ink.width() > width() || ink.height() > height()) && placement.font.pixelSize() > kSmallestPixelSize) {
        placement.font.setPixelSize(placement.font.pixelSize() - 1);
        metrics = QFontMetrics(placement.font);
        ink = metrics.tightBoundingRect(m_text);
    }
    placement.baselineStart =
        QPoint((width() - metrics.horizontalAdvance(m_text)) / 2, (height() - ink.height()) / 2 - ink.top());
    placement.ink = ink.translated(placement.baselineStart.x(), placement.baselineStart.y());
    return placement;
}

QRect CElapsedTimeLabel::TextInkRect() const
{
    return PlaceText().ink;
}

void CElapsedTimeLabel::paintEvent(QPaintEvent*)
{
    // Drawn off screen first and copied in one step, so the counter never flickers.
    QPixmap buffer(size() * devicePixelRatioF());
    buffer.setDevicePixelRatio(devicePixelRatioF());
    buffer.fill(Qt::transparent);
    QPainter painter(&buffer);
    if (m_italic) {
        painter.fillRect(rect(), kItalicPanelColour);
    } else if (m_snapshot && !m_snapshot->isNull()) {
        painter.drawImage(rect(), *m_snapshot, geometry());
    }
    const TextPlacement placement = PlaceText();
    painter.setFont(placement.font);
    painter.setPen(kTextColour);
    painter.drawText(placement.baselineStart, m_text);
    painter.end();
    QPainter(this).drawPixmap(0, 0, buffer);
}

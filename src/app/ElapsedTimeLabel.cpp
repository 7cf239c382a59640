#include "app/ElapsedTimeLabel.h"

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
const QColor kTextColour(0, 0, 255);
const QColor kItalicPanelColour(225, 225, 225);
} // namespace

CElapsedTimeLabel::CElapsedTimeLabel(QWidget* parent, bool italic)
    : QWidget(parent)
    , m_italic(italic)
    , m_font(MakeFont(italic))
{
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
    painter.setFont(m_font);
    painter.setPen(kTextColour);
    painter.drawText(rect(), Qt::AlignHCenter | Qt::AlignTop, m_text);
    painter.end();
    QPainter(this).drawPixmap(0, 0, buffer);
}

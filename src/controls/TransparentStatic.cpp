#include "controls/TransparentStatic.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>

namespace
{
constexpr int kTextIndent = 5;
constexpr int kTitleGap = 5;
const QColor kEtchShadow(128, 128, 128);
const QColor kEtchLight(255, 255, 255);
} // namespace

CTransparentStatic* CTransparentStatic::Attach(QWidget* staticOrGroupBox)
{
    const bool isLabel = qobject_cast<QLabel*>(staticOrGroupBox) != nullptr;
    const bool isGroupBox = qobject_cast<QGroupBox*>(staticOrGroupBox) != nullptr;
    if (!isLabel && !isGroupBox)
        return nullptr;
    if (CTransparentStatic* existing = Of(staticOrGroupBox))
        return existing;
    return new CTransparentStatic(staticOrGroupBox, isGroupBox);
}

CTransparentStatic* CTransparentStatic::Of(const QWidget* widget)
{
    return widget ? widget->findChild<CTransparentStatic*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

CTransparentStatic::CTransparentStatic(QWidget* widget, bool groupBox)
    : QObject(widget)
    , m_widget(widget)
    , m_groupBox(groupBox)
{
    m_widget->setAutoFillBackground(false);
    // The text sits kTextIndent to the right; a label placed by a layout asks for that room
    // too, or its last letters would be cut ("Save Director").
    if (auto* label = qobject_cast<QLabel*>(m_widget); label && label->indent() < 0)
        label->setIndent(kTextIndent);
    m_widget->installEventFilter(this);
    m_widget->update();
}

bool CTransparentStatic::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_widget || event->type() != QEvent::Paint)
        return false;
    if (m_groupBox)
        PaintGroupBox();
    else
        PaintStatic();
    return true;
}

QRect CTransparentStatic::TextRect(const QLabel* label)
{
    // Shifted right, but never past the label's right edge, where right-aligned text would be lost.
    return label->contentsRect().adjusted(kTextIndent, 0, 0, 0);
}

int CTransparentStatic::TextFlags(const QLabel* label)
{
    const Qt::Alignment alignment = label->alignment();
    int flags = int(alignment & Qt::AlignHorizontal_Mask);
    if (label->wordWrap())
        flags |= Qt::TextWordWrap | int(alignment & Qt::AlignVertical_Mask);
    else
        flags |= Qt::TextSingleLine | int(alignment & Qt::AlignVertical_Mask);
    if (label->buddy())
        flags |= Qt::TextShowMnemonic;
    return flags;
}

void CTransparentStatic::PaintStatic()
{
    const auto* label = static_cast<QLabel*>(m_widget);
    QPainter painter(m_widget);
    painter.setFont(label->font());
    const QPalette::ColorGroup group = label->isEnabled() ? QPalette::Active : QPalette::Disabled;
    painter.setPen(label->palette().color(group, label->foregroundRole()));
    painter.drawText(TextRect(label), TextFlags(label), label->text());
}

void CTransparentStatic::PaintGroupBox()
{
    const auto* box = static_cast<QGroupBox*>(m_widget);
    QPainter painter(m_widget);
    painter.setFont(box->font());
    const QFontMetrics metrics(box->font());
    const QString title = box->title();
    const int titleWidth = title.isEmpty() ? 0 : metrics.horizontalAdvance(title);
    const int lineY = metrics.height() / 2;
    const QRect frame(0, lineY, box->width() - 1, box->height() - lineY - 1);
    const int gapStart = frame.left() + kTitleGap;
    const int gapEnd = gapStart + titleWidth + kTitleGap;

    // The outline twice, grey and then white one pixel right and down: an etched groove.
    const auto drawOutline = [&](const QColor& colour, int offset) {
        painter.setPen(colour);
        const QRect r = frame.adjusted(offset, offset, offset - 1, offset - 1);
        if (titleWidth > 0) {
            painter.drawLine(r.left(), r.top(), gapStart + offset, r.top());
            painter.drawLine(gapEnd + offset, r.top(), r.right(), r.top());
        } else {
            painter.drawLine(r.topLeft(), r.topRight());
        }
        painter.drawLine(r.topRight(), r.bottomRight());
        painter.drawLine(r.bottomRight(), r.bottomLeft());
        painter.drawLine(r.bottomLeft(), r.topLeft());
    };
    drawOutline(kEtchShadow, 0);
    drawOutline(kEtchLight, 1);

    if (titleWidth > 0) {
        const QPalette::ColorGroup group = box->isEnabled() ? QPalette::Active : QPalette::Disabled;
        painter.setPen(box->palette().color(group, QPalette::WindowText));
        painter.drawText(QRect(gapStart + kTitleGap / 2, 0, titleWidth + kTitleGap, metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, title);
    }
}

#include "controls/SkinCheckBox.h"

#include "controls/SkinIndicator.h"

#include <QCheckBox>
#include <QPainter>
#include <QPixmap>
#include <qdrawutil.h>

QCheckBox* CSkinCheckBox::Create(const QString& text, QWidget* parent)
{
    auto* box = new QCheckBox(text, parent);
    Attach(box);
    return box;
}

CSkinCheckBox* CSkinCheckBox::Attach(QCheckBox* box)
{
    if (!box)
        return nullptr;
    if (CSkinCheckBox* existing = Of(box))
        return existing;
    return new CSkinCheckBox(box);
}

CSkinCheckBox* CSkinCheckBox::Of(const QCheckBox* box)
{
    return box ? box->findChild<CSkinCheckBox*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

CSkinCheckBox::CSkinCheckBox(QCheckBox* box)
    : QObject(box)
    , m_box(box)
{
    m_box->setAutoFillBackground(false);
    m_box->installEventFilter(this);
    m_box->update();
}

bool CSkinCheckBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_box && event->type() == QEvent::Paint) {
        Paint();
        return true;
    }
    return false;
}

void CSkinCheckBox::Paint()
{
    QPainter painter(m_box);
    const QRect box = SkinIndicator::BoxRect(m_box);
    painter.fillRect(box, SkinIndicator::BoxFill(m_box));
    // Shadow on the top and left, light on the bottom and right: a box sunk into the skin.
    qDrawShadeRect(&painter, box, m_box->palette(), true, 1);
    if (m_box->checkState() != Qt::Unchecked) {
        // QPixmap keeps loaded files in its cache, so this reads the resource once.
        const QPixmap checkMark(QStringLiteral(":/bitmap/%1.png").arg(kCheckMarkBitmapId));
        const QPoint at(box.left() + (box.width() - checkMark.width()) / 2,
                        box.top() + (box.height() - checkMark.height()) / 2);
        painter.drawPixmap(at, checkMark);
    }
    SkinIndicator::PaintText(painter, m_box);
}

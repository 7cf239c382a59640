#include "controls/ListItemDelegate.h"

#include <QLineEdit>
#include <QPainter>

namespace
{
const QColor kGridLineColour(208, 208, 208);
} // namespace

CListItemDelegate::CListItemDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{}

void CListItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem look(option);
    // A drop target looks like a selected row, as it always has.
    if (index.siblingAtColumn(0).data(kDropHighlightRole).toBool()) {
        look.state |= QStyle::State_Selected | QStyle::State_Active;
    }
    QStyledItemDelegate::paint(painter, look, index);

    painter->save();
    painter->setPen(kGridLineColour);
    painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    painter->restore();
}

void CListItemDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    const auto* lineEdit = qobject_cast<QLineEdit*>(editor);
    if (!m_labelEditHandler || lineEdit == nullptr) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    const QString text = lineEdit->text();
    if (m_labelEditHandler(index.row(), text)) {
        model->setData(index, text, Qt::EditRole);
    }
}

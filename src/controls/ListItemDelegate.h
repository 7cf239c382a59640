#pragma once

#include <QStyledItemDelegate>
#include <functional>

// Draws the list control's rows with grid lines and the drop highlight, and hands a finished
// in-place edit of a row's first column to the list's owner, which decides whether it stands.
class CListItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    // Item data roles kept on a row's first column.
    static constexpr int kItemDataRole = Qt::UserRole;
    static constexpr int kDropHighlightRole = Qt::UserRole + 1;

    // Returns true when the edited text may replace the old one.
    using LabelEditHandler = std::function<bool(int row, const QString& text)>;

    explicit CListItemDelegate(QObject* parent = nullptr);

    void SetLabelEditHandler(LabelEditHandler handler) { m_labelEditHandler = std::move(handler); }
    bool HasLabelEditHandler() const { return static_cast<bool>(m_labelEditHandler); }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

private:
    LabelEditHandler m_labelEditHandler;
};

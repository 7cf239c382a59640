#pragma once

#include <QPersistentModelIndex>
#include <QPointer>
#include <QTreeWidget>
#include <array>
#include <functional>
#include <memory>
#include <vector>

class CListItemDelegate;
class QLabel;

// A report-style list of text rows that sorts on a click on a column heading (first click
// descending, then alternating, each column with its own flag), moves rows by dragging one row
// or the selected block with the left button, and opens the context menu 188 on a right click,
// whose commands go to the list's parent window. Each row's item data is its row index, kept in
// step with the rows whatever adds, removes, sorts or moves them.
class CDragDropListCtrl : public QTreeWidget
{
    Q_OBJECT

public:
    static constexpr int kMaxSortColumns = 32;
    static constexpr int kNoRow = -1; // as a drop row: after the last row

    explicit CDragDropListCtrl(QWidget* parent = nullptr);
    ~CDragDropListCtrl() override;

    using QTreeWidget::edit; // the public edit(index) stays reachable beside the override below

    void SetColumns(const QStringList& headings);

    int RowCount() const { return topLevelItemCount(); }
    QString Text(int row, int column) const;
    void SetText(int row, int column, const QString& text);
    QStringList RowTexts(int row) const;
    // Appends a row and returns its index.
    int AppendRow(const QStringList& texts);
    void RemoveRow(int row);
    void RemoveAllRows();
    int ItemData(int row) const;

    // Selected rows top to bottom.
    std::vector<int> SelectedRows() const;
    int FirstSelectedRow() const;
    bool IsRowSelected(int row) const;
    void SetRowSelected(int row, bool selected);
    void InvertSelection();

    // As a click on the column's heading.
    void SortByColumn(int column);
    int SortColumn() const { return m_sortColumn; }
    bool IsDescending(int column) const;

    bool IsDragging() const { return m_dragging; }
    bool IsDropHighlighted(int row) const;

    // In-place editing of a row's first column; the handler decides whether an edit stands.
    // Without a handler the rows cannot be edited.
    void SetLabelEditHandler(std::function<bool(int row, const QString& text)> handler);

    // Where the context menu's commands go; the parent widget unless set.
    void SetCommandTarget(QObject* target) { m_commandTarget = target; }
    QObject* CommandTarget() const;

signals:
    // The rows were moved by a drop or reordered by a sort.
    void rowsReordered();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

private:
    void SelectRowForContextMenu(int row);
    void BeginDrag(int row, const QPoint& globalPos);
    void MoveDrag(const QPoint& globalPos);
    void EndDrag(const QPoint& globalPos);
    void CancelDrag();
    // The rows area of this list when the pointer is over it, else whatever widget it is over.
    QWidget* WidgetUnderPointer(const QPoint& globalPos) const;
    int RowAt(const QPoint& globalPos) const;
    void SetDropHighlight(int row, bool on);
    void ClearDropHighlights();
    void RenumberItemData(int firstRow);
    void MoveRows(const std::vector<int>& rows, int targetRow);

    CListItemDelegate* m_delegate;
    int m_sortColumn = kNoRow;
    std::array<bool, kMaxSortColumns> m_descending{};

    // Press position of a left button that may start a drag.
    int m_pressRow = kNoRow;
    QPoint m_pressPos;
    bool m_dragging = false;
    QPersistentModelIndex m_dragIndex;
    QPersistentModelIndex m_dropIndex; // invalid: after the last row
    QPointer<QWidget> m_lastWidgetUnderPointer;
    std::unique_ptr<QLabel> m_dragImage;
    bool m_overrideCursor = false;

    QPointer<QObject> m_commandTarget;
};

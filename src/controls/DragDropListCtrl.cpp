#include "controls/DragDropListCtrl.h"

#include "app/MenuDefinition.h"
#include "controls/ListItemDelegate.h"
#include "controls/ListRowOrder.h"
#include "controls/PopupMenu.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <algorithm>

namespace
{
// The pointer's spot inside the dragged row's image: the image trails below right of it.
const QPoint kDragHotSpot(-10, -14);
} // namespace

CDragDropListCtrl::CDragDropListCtrl(QWidget* parent)
    : QTreeWidget(parent)
    , m_delegate(new CListItemDelegate(this))
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setItemDelegate(m_delegate);

    header()->setSectionsClickable(true);
    header()->setSectionsMovable(false);
    header()->setStretchLastSection(false);
    header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(header(), &QHeaderView::sectionClicked, this, &CDragDropListCtrl::SortByColumn);

    // Whatever changes the rows, each row's item data follows its index.
    connect(model(), &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex& rowParent, int first, int) {
        if (!rowParent.isValid())
            RenumberItemData(first);
    });
    connect(model(), &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex& rowParent, int first, int) {
        if (!rowParent.isValid())
            RenumberItemData(first);
    });
    connect(model(), &QAbstractItemModel::rowsMoved, this, [this] { RenumberItemData(0); });
    connect(model(), &QAbstractItemModel::layoutChanged, this, [this] { RenumberItemData(0); });
}

CDragDropListCtrl::~CDragDropListCtrl()
{
    if (m_dragging) {
        CancelDrag();
    }
}

void CDragDropListCtrl::SetColumns(const QStringList& headings)
{
    setColumnCount(static_cast<int>(headings.size()));
    setHeaderLabels(headings);
}

QString CDragDropListCtrl::Text(int row, int column) const
{
    const QTreeWidgetItem* item = topLevelItem(row);
    return item != nullptr ? item->text(column) : QString();
}

void CDragDropListCtrl::SetText(int row, int column, const QString& text)
{
    if (QTreeWidgetItem* item = topLevelItem(row)) {
        item->setText(column, text);
    }
}

QStringList CDragDropListCtrl::RowTexts(int row) const
{
    QStringList texts;
    if (const QTreeWidgetItem* item = topLevelItem(row)) {
        for (int column = 0; column < columnCount(); ++column) {
            texts.append(item->text(column));
        }
    }
    return texts;
}

int CDragDropListCtrl::AppendRow(const QStringList& texts)
{
    auto item = std::make_unique<QTreeWidgetItem>(texts);
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    addTopLevelItem(item.release()); // the list owns it from here
    return topLevelItemCount() - 1;
}

void CDragDropListCtrl::RemoveRow(int row)
{
    const std::unique_ptr<QTreeWidgetItem> removed(takeTopLevelItem(row));
}

void CDragDropListCtrl::RemoveAllRows()
{
    clear();
}

int CDragDropListCtrl::ItemData(int row) const
{
    const QTreeWidgetItem* item = topLevelItem(row);
    return item != nullptr ? item->data(0, CListItemDelegate::kItemDataRole).toInt() : kNoRow;
}

std::vector<int> CDragDropListCtrl::SelectedRows() const
{
    std::vector<int> rows;
    for (int row = 0; row < topLevelItemCount(); ++row) {
        if (topLevelItem(row)->isSelected()) {
            rows.push_back(row);
        }
    }
    return rows;
}

int CDragDropListCtrl::FirstSelectedRow() const
{
    for (int row = 0; row < topLevelItemCount(); ++row) {
        if (topLevelItem(row)->isSelected()) {
            return row;
        }
    }
    return kNoRow;
}

bool CDragDropListCtrl::IsRowSelected(int row) const
{
    const QTreeWidgetItem* item = topLevelItem(row);
    return item != nullptr && item->isSelected();
}

void CDragDropListCtrl::SetRowSelected(int row, bool selected)
{
    if (QTreeWidgetItem* item = topLevelItem(row)) {
        item->setSelected(selected);
    }
}

void CDragDropListCtrl::InvertSelection()
{
    if (topLevelItemCount() == 0) {
        return;
    }
    const QItemSelection all(model()->index(0, 0), model()->index(topLevelItemCount() - 1, columnCount() - 1));
    selectionModel()->select(all, QItemSelectionModel::Toggle);
}

void CDragDropListCtrl::SortByColumn(int column)
{
    if (column < 0 || column >= kMaxSortColumns || column >= columnCount()) {
        return;
    }
    m_sortColumn = column;
    m_descending[column] = !m_descending[column];
    const bool descending = m_descending[column];

    const QList<QTreeWidgetItem*> selected = selectedItems();
    QTreeWidgetItem* current = currentItem();
    QList<QTreeWidgetItem*> items = invisibleRootItem()->takeChildren();
    std::stable_sort(items.begin(), items.end(), [column, descending](QTreeWidgetItem* a, QTreeWidgetItem* b) {
        const int order = ListRowOrder::CompareTexts(column, a->text(column), b->text(column));
        return descending ? order > 0 : order < 0;
    });
    addTopLevelItems(items);
    for (QTreeWidgetItem* item : selected) {
        item->setSelected(true);
    }
    if (current != nullptr) {
        setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    }
    emit rowsReordered();
}

bool CDragDropListCtrl::IsDescending(int column) const
{
    return column >= 0 && column < kMaxSortColumns && m_descending[column];
}

bool CDragDropListCtrl::IsDropHighlighted(int row) const
{
    const QTreeWidgetItem* item = topLevelItem(row);
    return item != nullptr && item->data(0, CListItemDelegate::kDropHighlightRole).toBool();
}

void CDragDropListCtrl::SetLabelEditHandler(std::function<bool(int row, const QString& text)> handler)
{
    const bool editable = static_cast<bool>(handler);
    m_delegate->SetLabelEditHandler(std::move(handler));
    setEditTriggers(editable ? QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed
                             : QAbstractItemView::NoEditTriggers);
}

QObject* CDragDropListCtrl::CommandTarget() const
{
    return m_commandTarget ? m_commandTarget.data() : parentWidget();
}

void CDragDropListCtrl::mousePressEvent(QMouseEvent* event)
{
    if (m_dragging) {
        event->accept();
        return;
    }
    if (event->button() == Qt::RightButton) {
        m_pressRow = kNoRow;
        SelectRowForContextMenu(indexAt(event->position().toPoint()).row());
        const MenuDefinition& menu = Menus::ListContextMenu();
        if (!menu.empty()) {
            ShowPopupMenu(menu.front(), event->globalPosition().toPoint(), CommandTarget());
        }
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
    const QPoint position = event->position().toPoint();
    const bool mayDrag = event->button() == Qt::LeftButton && !(event->modifiers() & Qt::ShiftModifier);
    m_pressRow = mayDrag ? indexAt(position).row() : kNoRow;
    m_pressPos = position;
}

void CDragDropListCtrl::SelectRowForContextMenu(int row)
{
    // The menu's commands act on the selection, so it must hold the row the user pointed at;
    // a right click inside a selected block keeps the block.
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr || item->isSelected()) {
        return;
    }
    clearSelection();
    item->setSelected(true);
    setCurrentItem(item, 0, QItemSelectionModel::NoUpdate);
}

void CDragDropListCtrl::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint globalPos = event->globalPosition().toPoint();
    if (m_dragging && !(event->buttons() & Qt::LeftButton)) {
        // The button went up where its release could not reach us (another program took the
        // pointer): the drag ends without a drop rather than hang on.
        CancelDrag();
        event->accept();
        return;
    }
    if (m_dragging) {
        MoveDrag(globalPos);
        event->accept();
        return;
    }
    if ((event->buttons() & Qt::LeftButton) && m_pressRow != kNoRow) {
        // A press on a row starts a drag, never a drag-selection.
        if ((event->position().toPoint() - m_pressPos).manhattanLength() >= QApplication::startDragDistance()) {
            BeginDrag(m_pressRow, globalPos);
            MoveDrag(globalPos);
        }
        event->accept();
        return;
    }
    QTreeWidget::mouseMoveEvent(event);
}

void CDragDropListCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    m_pressRow = kNoRow;
    if (m_dragging) {
        if (event->button() == Qt::LeftButton) {
            EndDrag(event->globalPosition().toPoint());
        }
        event->accept();
        return;
    }
    QTreeWidget::mouseReleaseEvent(event);
}

bool CDragDropListCtrl::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    // Only a row's first column, its label, is ever edited, wherever the row was clicked.
    if (!m_delegate->HasLabelEditHandler() || !index.isValid()) {
        return QTreeWidget::edit(index, trigger, event);
    }
    return QTreeWidget::edit(index.siblingAtColumn(0), trigger, event);
}

void CDragDropListCtrl::BeginDrag(int row, const QPoint& globalPos)
{
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr) {
        return;
    }
    m_dragIndex = QPersistentModelIndex(indexFromItem(item, 0));
    m_dropIndex = QPersistentModelIndex();
    m_lastWidgetUnderPointer = nullptr;
    m_dragging = true;

    const QRect rowRect = visualRect(indexFromItem(item, 0))
                              .united(visualRect(indexFromItem(item, columnCount() - 1)))
                              .intersected(viewport()->rect());
    // A window of its own, tied to the list's window so the platform stacks it above it.
    const Qt::WindowFlags imageFlags = Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput;
    m_dragImage = std::make_unique<QLabel>(this, imageFlags);
    m_dragImage->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_dragImage->setAttribute(Qt::WA_ShowWithoutActivating);
    m_dragImage->setPixmap(viewport()->grab(rowRect));
    m_dragImage->adjustSize();
    m_dragImage->move(globalPos - kDragHotSpot);
    m_dragImage->show();

    // No grabMouse here: the press that began the drag already routes every move and the
    // release to this list, wherever the pointer goes. A grab taken on top of it under X
    // swallowed the rest of the drag, so the release never came: the row picture stayed on
    // the screen and the grab held every click of the program.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    m_overrideCursor = true;
}

void CDragDropListCtrl::MoveDrag(const QPoint& globalPos)
{
    if (m_dragImage) {
        m_dragImage->move(globalPos - kDragHotSpot);
    }
    QWidget* under = WidgetUnderPointer(globalPos);
    if (under != m_lastWidgetUnderPointer) {
        ClearDropHighlights();
        m_dropIndex = QPersistentModelIndex();
        m_lastWidgetUnderPointer = under;
    }
    if (under != viewport()) {
        QApplication::changeOverrideCursor(Qt::ForbiddenCursor);
        return;
    }
    QApplication::changeOverrideCursor(Qt::ArrowCursor);
    const int previous = m_dropIndex.isValid() ? m_dropIndex.row() : kNoRow;
    const int row = RowAt(globalPos);
    if (row != previous) {
        SetDropHighlight(previous, false);
        SetDropHighlight(row, true);
    }
    m_dropIndex = row == kNoRow ? QPersistentModelIndex() : QPersistentModelIndex(model()->index(row, 0));
}

void CDragDropListCtrl::EndDrag(const QPoint& globalPos)
{
    MoveDrag(globalPos);
    const bool overThisList = WidgetUnderPointer(globalPos) == viewport();
    const int draggedRow = m_dragIndex.isValid() ? m_dragIndex.row() : kNoRow;
    const int targetRow = m_dropIndex.isValid() ? m_dropIndex.row() : kNoRow;
    CancelDrag();
    if (overThisList) {
        std::vector<int> rows = SelectedRows();
        if (rows.size() == 1) {
            // One selected row: the row that was dragged is the one that moves.
            rows = draggedRow == kNoRow ? std::vector<int>{} : std::vector<int>{draggedRow};
        }
        if (!rows.empty()) {
            MoveRows(rows, targetRow);
        }
    }
}

void CDragDropListCtrl::CancelDrag()
{
    m_dragImage.reset();
    m_dragging = false;
    if (m_overrideCursor) {
        QApplication::restoreOverrideCursor();
        m_overrideCursor = false;
    }
    ClearDropHighlights();
    m_dragIndex = QPersistentModelIndex();
    m_dropIndex = QPersistentModelIndex();
    m_lastWidgetUnderPointer = nullptr;
}

QWidget* CDragDropListCtrl::WidgetUnderPointer(const QPoint& globalPos) const
{
    return QApplication::widgetAt(globalPos);
}

int CDragDropListCtrl::RowAt(const QPoint& globalPos) const
{
    const QModelIndex index = indexAt(viewport()->mapFromGlobal(globalPos));
    return index.isValid() ? index.row() : kNoRow;
}

void CDragDropListCtrl::SetDropHighlight(int row, bool on)
{
    if (QTreeWidgetItem* item = topLevelItem(row)) {
        item->setData(0, CListItemDelegate::kDropHighlightRole, on ? QVariant(true) : QVariant());
        viewport()->update(
            visualRect(indexFromItem(item, 0)).united(visualRect(indexFromItem(item, columnCount() - 1))));
    }
}

void CDragDropListCtrl::ClearDropHighlights()
{
    for (int row = 0; row < topLevelItemCount(); ++row) {
        if (IsDropHighlighted(row)) {
            SetDropHighlight(row, false);
        }
    }
}

void CDragDropListCtrl::RenumberItemData(int firstRow)
{
    for (int row = std::max(firstRow, 0); row < topLevelItemCount(); ++row) {
        topLevelItem(row)->setData(0, CListItemDelegate::kItemDataRole, row);
    }
}

void CDragDropListCtrl::MoveRows(const std::vector<int>& rows, int targetRow)
{
    // Take the rows out bottom first, so the indices still to take stay valid; every row taken
    // from above the target moves the target up by one.
    QList<QTreeWidgetItem*> moved;
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        QTreeWidgetItem* item = takeTopLevelItem(*row);
        if (item == nullptr) {
            continue;
        }
        if (targetRow != kNoRow && *row < targetRow) {
            --targetRow;
        }
        moved.prepend(item);
    }
    if (moved.isEmpty()) {
        return;
    }
    const int at = targetRow == kNoRow ? topLevelItemCount() : std::min(targetRow, topLevelItemCount());
    insertTopLevelItems(at, moved);
    // The moved rows stay selected, in their order, wherever they landed.
    clearSelection();
    for (QTreeWidgetItem* item : moved) {
        item->setSelected(true);
    }
    setCurrentItem(moved.front(), 0, QItemSelectionModel::NoUpdate);
    emit rowsReordered();
}

#include "controls/DragDropListCtrl.h"

#include "app/MenuDefinition.h"
#include "controls/ListRowOrder.h"
#include "controls/PopupMenu.h"
#include "platform/AppEvent.h"

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

namespace
{
// Records the command ids a window receives.
class CommandSink : public QWidget
{
public:
    std::vector<int> commands;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == AppEventType::kCommand) {
            commands.push_back(static_cast<int>(static_cast<CAppEvent*>(event)->WParam()));
            return true;
        }
        return QWidget::event(event);
    }
};

class DragDropListCtrlTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_window.resize(520, 360);
        m_window.move(40, 40);
        m_list = new CDragDropListCtrl(&m_window);
        m_list->setGeometry(10, 10, 500, 340);
        m_list->SetColumns({"File Name", "Size", "Time(m:s)", "Save Directory"});
        m_window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&m_window));
    }

    void AddRows(const std::vector<QStringList>& rows)
    {
        for (const QStringList& row : rows) {
            m_list->AppendRow(row);
        }
    }

    QStringList Column(int column) const
    {
        QStringList texts;
        for (int row = 0; row < m_list->RowCount(); ++row) {
            texts.append(m_list->Text(row, column));
        }
        return texts;
    }

    void ExpectItemDataFollowsRows() const
    {
        for (int row = 0; row < m_list->RowCount(); ++row) {
            EXPECT_EQ(m_list->ItemData(row), row);
        }
    }

    QPoint RowCentre(int row) const { return m_list->visualItemRect(m_list->topLevelItem(row)).center(); }

    void Mouse(QEvent::Type type, QPoint viewportPos, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* viewport = m_list->viewport();
        QMouseEvent event(type, QPointF(viewportPos), QPointF(viewport->mapToGlobal(viewportPos)), button, buttons,
                          modifiers);
        QApplication::sendEvent(viewport, &event);
    }

    // Presses on one row, moves in steps to a point and releases there.
    void DragRow(int fromRow, QPoint releasePos)
    {
        const QPoint start = RowCentre(fromRow);
        Mouse(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        Mouse(QEvent::MouseMove, start + QPoint(0, QApplication::startDragDistance() + 2), Qt::NoButton,
              Qt::LeftButton);
        ASSERT_TRUE(m_list->IsDragging());
        Mouse(QEvent::MouseMove, releasePos, Qt::NoButton, Qt::LeftButton);
        Mouse(QEvent::MouseButtonRelease, releasePos, Qt::LeftButton, Qt::NoButton);
        EXPECT_FALSE(m_list->IsDragging());
    }

    CommandSink m_window;
    CDragDropListCtrl* m_list = nullptr;
};
} // namespace

TEST(ListRowOrderTest, NumbersByValueAndTextByBytes)
{
    using ListRowOrder::CompareTexts;
    EXPECT_GT(CompareTexts(1, "1023KB", "999KB"), 0);
    EXPECT_EQ(CompareTexts(1, "12KB", "12KB"), 0);
    EXPECT_GT(CompareTexts(2, "10:05", "9:59"), 0);
    EXPECT_LT(CompareTexts(2, "0:59", "1:00"), 0);
    EXPECT_EQ(CompareTexts(2, "75", "75:00"), 0);    // no ':' counts as whole minutes, no crash
    EXPECT_LT(CompareTexts(0, "B.mp3", "a.mp3"), 0); // case-sensitive bytes
    EXPECT_LT(CompareTexts(0, "ab", "abc"), 0);
    EXPECT_GT(CompareTexts(3, QString::fromUtf8("\xC3\xA9"), "z"), 0); // bytes are unsigned
    EXPECT_EQ(ListRowOrder::LeadingInteger("99999999999999999999KB"), 2147483647);
}

TEST_F(DragDropListCtrlTest, HeaderClicksSortEachColumnDescendingFirst)
{
    AddRows({{"b.mp3", "5KB", "9:59", "/m"}, {"a.mp3", "1023KB", "10:05", "/m"}, {"c.mp3", "0KB", "0:07", "/m"}});
    m_list->SetRowSelected(2, true);

    QHeaderView* header = m_list->header();
    const auto clickHeading = [header](int column) {
        const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, header->height() / 2));
    };
    clickHeading(1);
    EXPECT_EQ(Column(1), QStringList({"1023KB", "5KB", "0KB"}));
    ExpectItemDataFollowsRows();
    EXPECT_TRUE(m_list->IsRowSelected(2)); // the selection goes with its row
    EXPECT_EQ(m_list->Text(2, 0), "c.mp3");
    clickHeading(1);
    EXPECT_EQ(Column(1), QStringList({"0KB", "5KB", "1023KB"}));
    ExpectItemDataFollowsRows();

    // Another column keeps its own flag: its first click is descending too.
    clickHeading(2);
    EXPECT_EQ(Column(2), QStringList({"10:05", "9:59", "0:07"}));
    clickHeading(0);
    EXPECT_EQ(Column(0), QStringList({"c.mp3", "b.mp3", "a.mp3"}));
    clickHeading(2);
    EXPECT_EQ(Column(2), QStringList({"0:07", "9:59", "10:05"}));
}

TEST_F(DragDropListCtrlTest, DraggedBlockLandsInOrderBeforeTargetAndStaysSelected)
{
    AddRows({{"A"}, {"B"}, {"C"}, {"D"}, {"E"}, {"F"}});
    // Build the block with the mouse: B, then Ctrl+C and Ctrl+E.
    Mouse(QEvent::MouseButtonPress, RowCentre(1), Qt::LeftButton, Qt::LeftButton);
    Mouse(QEvent::MouseButtonRelease, RowCentre(1), Qt::LeftButton, Qt::NoButton);
    for (const int row : {2, 4}) {
        Mouse(QEvent::MouseButtonPress, RowCentre(row), Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
        Mouse(QEvent::MouseButtonRelease, RowCentre(row), Qt::LeftButton, Qt::NoButton, Qt::ControlModifier);
    }
    ASSERT_EQ(m_list->SelectedRows(), (std::vector<int>{1, 2, 4}));

    DragRow(2, RowCentre(5));
    EXPECT_EQ(Column(0), QStringList({"A", "D", "B", "C", "E", "F"}));
    EXPECT_EQ(m_list->SelectedRows(), (std::vector<int>{2, 3, 4}));
    ExpectItemDataFollowsRows();
    for (int row = 0; row < m_list->RowCount(); ++row) {
        EXPECT_FALSE(m_list->IsDropHighlighted(row));
    }

    // The block dragged upwards onto the first row goes in front of it.
    DragRow(3, RowCentre(0));
    EXPECT_EQ(Column(0), QStringList({"B", "C", "E", "A", "D", "F"}));
    EXPECT_EQ(m_list->SelectedRows(), (std::vector<int>{0, 1, 2}));
}

TEST_F(DragDropListCtrlTest, SingleRowDropsBelowTheLastRowAndNowhereElse)
{
    AddRows({{"A"}, {"B"}, {"C"}});
    const QPoint belowRows = RowCentre(2) + QPoint(0, 60);

    DragRow(0, belowRows);
    EXPECT_EQ(Column(0), QStringList({"B", "C", "A"}));
    EXPECT_EQ(m_list->SelectedRows(), (std::vector<int>{2}));
    ExpectItemDataFollowsRows();

    // Released over another program's window (here: nowhere in this program) nothing moves.
    const QPoint start = RowCentre(0);
    Mouse(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    Mouse(QEvent::MouseMove, start + QPoint(0, 20), Qt::NoButton, Qt::LeftButton);
    Mouse(QEvent::MouseMove, RowCentre(1), Qt::NoButton, Qt::LeftButton);
    EXPECT_TRUE(m_list->IsDropHighlighted(1));
    const QPoint elsewhere = m_list->viewport()->mapFromGlobal(QPoint(5000, 5000));
    Mouse(QEvent::MouseMove, elsewhere, Qt::NoButton, Qt::LeftButton);
    EXPECT_FALSE(m_list->IsDropHighlighted(1)); // leaving the list takes the highlight away
    Mouse(QEvent::MouseButtonRelease, elsewhere, Qt::LeftButton, Qt::NoButton);
    EXPECT_FALSE(m_list->IsDragging());
    EXPECT_EQ(Column(0), QStringList({"B", "C", "A"}));
}

TEST_F(DragDropListCtrlTest, RightClickMenuSendsItsCommandToTheParentWindow)
{
    AddRows({{"A"}});
    QStringList shownLabels;
    PopupMenu::CScopedRunner runner([&shownLabels](QMenu& menu, QPoint) {
        for (const QAction* action : menu.actions()) {
            if (!action->isSeparator())
                shownLabels.append(action->text());
        }
        return 32776; // "&Delete Selected Items"
    });
    Mouse(QEvent::MouseButtonPress, RowCentre(0), Qt::RightButton, Qt::RightButton);
    Mouse(QEvent::MouseButtonRelease, RowCentre(0), Qt::RightButton, Qt::NoButton);

    EXPECT_EQ(m_window.commands, std::vector<int>{32776});
    ASSERT_EQ(shownLabels.size(), 10);
    EXPECT_EQ(shownLabels.front(), Menus::ListContextMenu().front().items.front().label);
    EXPECT_EQ(shownLabels.back(), "&Rename File");
}

TEST_F(DragDropListCtrlTest, ItemDataFollowsRemovalsAndInsertions)
{
    AddRows({{"A"}, {"B"}, {"C"}, {"D"}});
    m_list->RemoveRow(1);
    ExpectItemDataFollowsRows();
    m_list->AppendRow({"E"});
    m_list->SortByColumn(0);
    m_list->RemoveRow(0);
    ExpectItemDataFollowsRows();
    EXPECT_EQ(Column(0), QStringList({"D", "C", "A"}));
}

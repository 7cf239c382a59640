#include "controls/MenuXP.h"

#include "app/CommandIds.h"
#include "app/MenuDefinition.h"
#include "controls/PopupMenu.h"
#include "platform/AppEvent.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <vector>

namespace
{
constexpr int kFile = 0;
constexpr int kRecord = 1;
constexpr int kOptions = 2;
constexpr int kHelp = 3;

// A window that keeps every command it is sent, as the main window's dispatcher would.
class CCommandRecorder : public QWidget
{
public:
    std::vector<int> commands;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == AppEventType::kCommand) {
            commands.push_back(int(static_cast<CAppEvent*>(event)->WParam()));
            return true;
        }
        return QWidget::event(event);
    }
};

QAction* ActionOf(const QMenu& menu, int id)
{
    const auto actions = menu.actions();
    for (QAction* action : actions) {
        if (action->property(PopupMenu::kCommandIdProperty).toInt() == id)
            return action;
    }
    return nullptr;
}

// What the toolkit does while a popup holds the mouse: the popup gets every mouse event.
void SendToPopup(QMenu* popup, QEvent::Type type, QPoint globalPos)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, popup->mapFromGlobal(globalPos), globalPos, button, button, Qt::NoModifier);
    QApplication::sendEvent(popup, &event);
}

class MenuXPTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        bar = new CMenuXP(&window);
        bar->setGeometry(185, 0, 400, 31);
        bar->SetMenu(Menus::MainMenu());
        window.resize(800, 300);
        window.show();
    }
    void TearDown() override { bar->ClosePopup(); }

    QPoint ButtonCentreOnScreen(int index) const { return bar->mapToGlobal(bar->ButtonRect(index).center()); }

    CCommandRecorder window;
    CMenuXP* bar = nullptr;
};
} // namespace

TEST_F(MenuXPTest, LeftAndRightWalkThePopupsAndWrapAtBothEnds)
{
    ASSERT_EQ(bar->ButtonCount(), 4);
    QSignalSpy exited(bar, &CMenuXP::MenuLoopExited);

    bar->OpenPopup(kFile);
    ASSERT_NE(bar->OpenMenu(), nullptr);
    EXPECT_TRUE(bar->OpenMenu()->isVisible());

    const std::vector<std::pair<Qt::Key, int>> steps = {
        {Qt::Key_Right, kRecord}, {Qt::Key_Right, kOptions}, {Qt::Key_Right, kHelp},
        {Qt::Key_Right, kFile},   {Qt::Key_Left, kHelp},     {Qt::Key_Left, kOptions},
    };
    for (const auto& [key, expected] : steps) {
        QMenu* before = bar->OpenMenu();
        QTest::keyClick(before, key);
        EXPECT_EQ(bar->OpenIndex(), expected);
        EXPECT_FALSE(before->isVisible());
        EXPECT_TRUE(bar->OpenMenu()->isVisible());
    }
    // Handing over from one popup to the next never ended the menu loop.
    EXPECT_EQ(exited.count(), 0);

    QTest::keyClick(bar->OpenMenu(), Qt::Key_Escape);
    EXPECT_EQ(bar->OpenIndex(), CMenuXP::kNoIndex);
    EXPECT_FALSE(bar->IsMenuActive());
    EXPECT_EQ(exited.count(), 1);
}

TEST_F(MenuXPTest, HoveringAnotherButtonSwitchesPopupsWithoutAClick)
{
    bar->OpenPopup(kFile);
    QMenu* file = bar->OpenMenu();

    // Moving over the open menu's own button changes nothing.
    SendToPopup(file, QEvent::MouseMove, ButtonCentreOnScreen(kFile));
    EXPECT_EQ(bar->OpenIndex(), kFile);

    SendToPopup(file, QEvent::MouseMove, ButtonCentreOnScreen(kOptions));
    EXPECT_EQ(bar->OpenIndex(), kOptions);
    EXPECT_FALSE(file->isVisible());

    // Events that reach the bar itself follow too.
    QMouseEvent move(QEvent::MouseMove, bar->ButtonRect(kRecord).center(), ButtonCentreOnScreen(kRecord), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(bar, &move);
    EXPECT_EQ(bar->OpenIndex(), kRecord);

    // With no popup open, hovering only lights the button up.
    bar->ClosePopup();
    QApplication::sendEvent(bar, &move);
    EXPECT_EQ(bar->OpenIndex(), CMenuXP::kNoIndex);
}

TEST_F(MenuXPTest, ASecondClickOnTheOpenButtonClosesItAndAClickOnAnotherSwitches)
{
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->ButtonRect(kRecord).center());
    ASSERT_EQ(bar->OpenIndex(), kRecord);

    // The press arrives at the open popup, which holds the mouse.
    SendToPopup(bar->OpenMenu(), QEvent::MouseButtonPress, ButtonCentreOnScreen(kHelp));
    EXPECT_EQ(bar->OpenIndex(), kHelp);
    SendToPopup(bar->OpenMenu(), QEvent::MouseButtonPress, ButtonCentreOnScreen(kHelp));
    EXPECT_EQ(bar->OpenIndex(), CMenuXP::kNoIndex);
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->OpenIndex(), CMenuXP::kNoIndex) << "the closing press must not reopen the popup";

    // A click straight on the bar's open button closes it too.
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->ButtonRect(kFile).center());
    ASSERT_EQ(bar->OpenIndex(), kFile);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->ButtonRect(kFile).center());
    EXPECT_EQ(bar->OpenIndex(), CMenuXP::kNoIndex);
}

TEST_F(MenuXPTest, ChecksAndEnabledStatesAreAskedEachTimeAPopupOpens)
{
    bool playLoop = true;
    bool joinPossible = false;
    MenuItemQueries queries;
    queries.isChecked = [&](int id) { return id == CommandId::kPlayLoop && playLoop; };
    queries.isEnabled = [&](int id) { return id != CommandId::kJoin || joinPossible; };
    bar->SetItemQueries(queries);

    bar->OpenPopup(kOptions);
    EXPECT_TRUE(ActionOf(*bar->OpenMenu(), CommandId::kPlayLoop)->isChecked());
    EXPECT_FALSE(ActionOf(*bar->OpenMenu(), CommandId::kSilenceDetector)->isChecked());
    playLoop = false;
    bar->OpenPopup(kFile);
    EXPECT_FALSE(ActionOf(*bar->OpenMenu(), CommandId::kJoin)->isEnabled());
    EXPECT_TRUE(ActionOf(*bar->OpenMenu(), CommandId::kSplit)->isEnabled());
    joinPossible = true;
    bar->OpenPopup(kOptions);
    EXPECT_FALSE(ActionOf(*bar->OpenMenu(), CommandId::kPlayLoop)->isChecked());
    bar->OpenPopup(kFile);
    EXPECT_TRUE(ActionOf(*bar->OpenMenu(), CommandId::kJoin)->isEnabled());
}

TEST_F(MenuXPTest, AChosenItemReachesTheWindowAsACommand)
{
    bar->OpenPopup(kFile);
    QMenu* file = bar->OpenMenu();
    file->setActiveAction(ActionOf(*file, CommandId::kExit));
    QTest::keyClick(file, Qt::Key_Return);
    EXPECT_EQ(window.commands, std::vector<int>{CommandId::kExit});
    EXPECT_EQ(bar->OpenIndex(), CMenuXP::kNoIndex);

    // An explicit target takes precedence over the bar's window.
    CCommandRecorder other;
    bar->SetCommandTarget(&other);
    bar->OpenPopup(kHelp);
    ActionOf(*bar->OpenMenu(), CommandId::kAbout)->trigger();
    EXPECT_EQ(other.commands, std::vector<int>{CommandId::kAbout});
    EXPECT_EQ(window.commands.size(), 1u);
}

TEST_F(MenuXPTest, TheOpenButtonIsPaintedInTheHotStyle)
{
    bar->OpenPopup(kRecord);
    const QImage image = bar->grab().toImage();
    const QRect open = bar->ButtonRect(kRecord);
    const QRect closed = bar->ButtonRect(kFile);
    EXPECT_EQ(QColor(image.pixel(open.topLeft())), CMenuXP::kFrame);
    EXPECT_EQ(QColor(image.pixel(open.topLeft() + QPoint(2, 2))), CMenuXP::kHotFill);
    EXPECT_NE(QColor(image.pixel(closed.topLeft() + QPoint(2, 2))), CMenuXP::kHotFill);
}

TEST(PopupMenuTest, AContextMenuSendsTheChosenEnabledItemOnly)
{
    CCommandRecorder target;
    MenuItemQueries queries;
    queries.isEnabled = [](int id) { return id != CommandId::kDeleteAllFiles; };
    const MenuPopup& popup = Menus::ListContextMenu().front();

    QStringList shown;
    int answer = CommandId::kRename;
    PopupMenu::CScopedRunner runner([&](QMenu& menu, QPoint) {
        shown.clear();
        for (QAction* action : menu.actions())
            shown << (action->isSeparator() ? QStringLiteral("-") : action->text());
        return answer;
    });

    EXPECT_EQ(ShowPopupMenu(popup, QPoint(10, 10), &target, queries), CommandId::kRename);
    EXPECT_EQ(shown.size(), qsizetype(popup.items.size()));
    EXPECT_EQ(shown.front(), QStringLiteral("&Record\t       F5"));
    EXPECT_EQ(shown.back(), QStringLiteral("&Rename File"));

    answer = CommandId::kDeleteAllFiles; // greyed out
    EXPECT_EQ(ShowPopupMenu(popup, QPoint(10, 10), &target, queries), 0);
    answer = 0; // dismissed
    EXPECT_EQ(ShowPopupMenu(popup, QPoint(10, 10), &target, queries), 0);
    EXPECT_EQ(target.commands, std::vector<int>{CommandId::kRename});
}

TEST_F(MenuXPTest, ClicksRoutedThroughTheWindowSystemCloseAndSwitchPopups)
{
    QWindow* handle = window.windowHandle();
    ASSERT_NE(handle, nullptr);
    const auto inWindow = [&](int index) { return bar->mapTo(&window, bar->ButtonRect(index).center()); };

    QTest::mouseClick(handle, Qt::LeftButton, {}, inWindow(kFile));
    ASSERT_EQ(bar->OpenIndex(), kFile);
    QTest::mouseMove(handle, inWindow(kRecord));
    EXPECT_EQ(bar->OpenIndex(), kRecord);
    QTest::mouseClick(handle, Qt::LeftButton, {}, inWindow(kRecord));
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->OpenIndex(), CMenuXP::kNoIndex);
}

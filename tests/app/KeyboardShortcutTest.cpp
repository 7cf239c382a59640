// The keyboard table and the hook library: which keys reach the main window as which
// commands, and the scope in which they act (active window, focus not in a text field).
#include "KeyHook.h"
#include "app/CommandIds.h"
#include "app/KeyboardShortcutHook.h"
#include "platform/AppEvent.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <vector>

namespace
{
class CommandSpyWindow : public QWidget
{
public:
    CommandSpyWindow()
    {
        auto* layout = new QVBoxLayout(this);
        edit = new QLineEdit(QStringLiteral("some words"), this);
        button = new QPushButton(QStringLiteral("button"), this);
        layout->addWidget(edit);
        layout->addWidget(button);
    }

    std::vector<int> commands;
    QLineEdit* edit = nullptr;
    QPushButton* button = nullptr;

protected:
    bool event(QEvent* event) override
    {
        if (int(event->type()) == AppEventType::kCommand) {
            commands.push_back(int(static_cast<CAppEvent*>(event)->WParam()));
            return true;
        }
        return QWidget::event(event);
    }
};

class KeyboardShortcutTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        window.button->setFocus();
    }

    CommandSpyWindow window;
};
} // namespace

TEST_F(KeyboardShortcutTest, KeysOutsideTextFieldsBecomeCommandsOncePerPress)
{
    CKeyboardShortcutHook hook(&window);
    QTest::keyClick(window.button, Qt::Key_Delete, Qt::ControlModifier);
    QTest::keyClick(window.button, Qt::Key_Delete);
    QTest::keyClick(window.button, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window.button, Qt::Key_O, Qt::ControlModifier);
    QTest::keyClick(window.button, Qt::Key_R, Qt::ControlModifier);
    QTest::keyClick(window.button, Qt::Key_F1);
    QTest::keyClick(window.button, Qt::Key_F6);
    // Keys without a command, and letters without Ctrl, pass through.
    QTest::keyClick(window.button, Qt::Key_A);
    QTest::keyClick(window.button, Qt::Key_F8);
    // A held key repeats its command with each auto-repeated press.
    QKeyEvent repeated(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(window.button, &repeated);

    using namespace CommandId;
    EXPECT_EQ(window.commands, (std::vector<int>{kDeleteSelectedFiles, kDeleteSelectedItems, kSelectAll, kOpen, kRename,
                                                 kHelp, kPause, kDeleteSelectedItems}));
}

TEST_F(KeyboardShortcutTest, TextFieldsKeepTheirEditingKeys)
{
    CKeyboardShortcutHook hook(&window);
    window.edit->setFocus();
    window.edit->setCursorPosition(0);
    QTest::keyClick(window.edit, Qt::Key_Delete, Qt::ControlModifier);
    QTest::keyClick(window.edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window.edit, Qt::Key_Delete);
    // Ctrl+Delete removed the first word and Ctrl+A selected the rest, which Delete removed:
    // the edit got the keys and no command was run.
    EXPECT_EQ(window.edit->text(), QString());
    EXPECT_TRUE(window.commands.empty());

    // Function keys edit no text, so they act from a text field too.
    QTest::keyClick(window.edit, Qt::Key_F6);
    QTest::keyClick(window.edit, Qt::Key_F1);
    EXPECT_EQ(window.commands, (std::vector<int>{CommandId::kPause, CommandId::kHelp}));
}

TEST_F(KeyboardShortcutTest, NothingActsWhileAnotherWindowIsActive)
{
    CKeyboardShortcutHook hook(&window);
    QWidget dialog;
    auto* dialogButton = new QPushButton(QStringLiteral("other"), &dialog);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialogButton->setFocus();
    QTest::keyClick(dialogButton, Qt::Key_Delete, Qt::ControlModifier);
    QTest::keyClick(dialogButton, Qt::Key_F6);
    EXPECT_TRUE(window.commands.empty());
}

TEST_F(KeyboardShortcutTest, HookLibraryDeliversRecordAndStopUntilFreed)
{
    SetKeyHook(&window);
    QTest::keyClick(window.button, Qt::Key_F5);
    QTest::keyClick(window.button, Qt::Key_F7);
    // From a text field too: a function key types nothing.
    window.edit->setFocus();
    QTest::keyClick(window.edit, Qt::Key_F5);
    EXPECT_EQ(window.edit->text(), QStringLiteral("some words"));
    FreeKeyHook();
    window.button->setFocus();
    QTest::keyClick(window.button, Qt::Key_F7);
    EXPECT_EQ(window.commands,
              (std::vector<int>{KeyHook::kRecordCommand, KeyHook::kStopCommand, KeyHook::kRecordCommand}));
}

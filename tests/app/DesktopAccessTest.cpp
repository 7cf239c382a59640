// The main window for keyboard and screen reader users, and its input level meter: every
// skinned control takes the focus visibly, answers Space and Enter (buttons) or the arrow keys
// (sliders, source choices), and tells QAccessible its name and role.
#include "MainWindowTestSupport.h"
#include "app/CaptionButtons.h"
#include "app/CommandIds.h"
#include "app/ElapsedTimeLabel.h"
#include "app/RecordingsList.h"
#include "controls/ControlId.h"
#include "controls/LevelMeter.h"
#include "controls/MenuXP.h"
#include "controls/SkinButton.h"
#include "controls/SkinSlider.h"
#include "record/RecordSourcePanel.h"
#include "record/RecordingController.h"
#include "support/TestSupport.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleValueInterface>
#include <QMenu>
#include <QRadioButton>
#include <QSignalSpy>

namespace
{
using Source = CMemoryAudioBackend::Source;
constexpr int kMainButtonIds[] = {CommandId::kRecordButton, CommandId::kPauseButton, CommandId::kStopButton,
                                  CommandId::kOptionButton, CommandId::kPlayButton,  CommandId::kTagEditToggleButton};

class DesktopAccessTest : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        m_backend->SetSources({Source{QStringLiteral("mic"), QStringLiteral("Microphone"), {30000, 30000}},
                               Source{QStringLiteral("line"), QStringLiteral("Line In"), {20000, 20000}}});
        m_backend->SetDefaultSource(QStringLiteral("mic"));
    }

    static QAccessibleInterface* Accessible(QObject* object)
    {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
        EXPECT_NE(iface, nullptr) << object->metaObject()->className();
        return iface;
    }
};

QByteArray Pcm(std::int16_t left, std::int16_t right, int frames)
{
    QByteArray bytes;
    for (int frame = 0; frame < frames; ++frame) {
        bytes.append(reinterpret_cast<const char*>(&left), sizeof left);
        bytes.append(reinterpret_cast<const char*>(&right), sizeof right);
    }
    return bytes;
}
} // namespace

TEST_F(DesktopAccessTest, EveryControlTellsTheScreenReaderItsNameAndRole)
{
    CMainWindow& window = OpenWindow();
    window.OnCommand(CommandId::kTagEditToggleButton); // the tag panel's controls too

    for (const int id : kMainButtonIds) {
        QAccessibleInterface* button = Accessible(ControlId::Find<CSkinButton>(&window, id));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->role(), QAccessible::Button) << id;
        EXPECT_FALSE(button->text(QAccessible::Name).isEmpty()) << id;
    }
    QAccessibleInterface* record = Accessible(ControlId::Find<CSkinButton>(&window, CommandId::kRecordButton));
    EXPECT_EQ(record->text(QAccessible::Name), QStringLiteral("Record"));
    EXPECT_TRUE(record->state().checkable) << "a latching button reads as a toggle";

    // Every control a user can reach by Tab, anywhere in the window, has a name and a real role.
    const auto widgets = window.findChildren<QWidget*>();
    int checked = 0;
    for (QWidget* widget : widgets) {
        if (!widget->isVisibleTo(&window) || !(widget->focusPolicy() & Qt::TabFocus) ||
            widget->focusProxy() != nullptr) {
            continue;
        }
        QAccessibleInterface* iface = Accessible(widget);
        ASSERT_NE(iface, nullptr);
        const QString what =
            QString::fromLatin1(widget->metaObject()->className()) + QLatin1Char(' ') + widget->objectName();
        EXPECT_NE(iface->role(), QAccessible::Client) << what.toStdString();
        QString name = iface->text(QAccessible::Name);
        if (name.isEmpty() && iface->role() == QAccessible::EditableText) {
            // An edit box is named by the label that points at it.
            const auto labelled = iface->relations(QAccessible::Labelled);
            name = labelled.isEmpty() ? QString() : labelled.first().first->text(QAccessible::Name);
        }
        EXPECT_FALSE(name.isEmpty()) << what.toStdString();
        ++checked;
    }
    EXPECT_GT(checked, 10);

    QAccessibleInterface* slider = Accessible(window.SourcePanel().Slider(1));
    EXPECT_EQ(slider->role(), QAccessible::Slider);
    EXPECT_EQ(slider->text(QAccessible::Name), QStringLiteral("Recording level of Line In"));
    EXPECT_EQ(Accessible(window.SourcePanel().RadioButton(1))->role(), QAccessible::RadioButton);

    auto* elapsed = window.findChild<CElapsedTimeLabel*>();
    QAccessibleInterface* time = Accessible(elapsed);
    EXPECT_EQ(time->role(), QAccessible::StaticText);
    EXPECT_EQ(time->text(QAccessible::Value), QStringLiteral("00 : 00"));

    QAccessibleInterface* meter = Accessible(&window.LevelMeter());
    EXPECT_EQ(meter->role(), QAccessible::ProgressBar);
    ASSERT_NE(meter->valueInterface(), nullptr);
    EXPECT_EQ(meter->valueInterface()->maximumValue().toInt(), 0);
}

TEST_F(DesktopAccessTest, PaintedMenuAndCaptionButtonsArePressableThroughTheirAccessibleParts)
{
    CMainWindow& window = OpenWindow();
    QAccessibleInterface* bar = Accessible(ControlId::Find<CMenuXP>(&window, CMenuXP::kControlId));
    EXPECT_EQ(bar->role(), QAccessible::MenuBar);
    QStringList names;
    for (int i = 0; i < bar->childCount(); ++i) {
        EXPECT_EQ(bar->child(i)->role(), QAccessible::MenuItem);
        EXPECT_EQ(bar->indexOfChild(bar->child(i)), i);
        names << bar->child(i)->text(QAccessible::Name);
    }
    EXPECT_EQ(names, (QStringList{QStringLiteral("File"), QStringLiteral("Record"), QStringLiteral("Options"),
                                  QStringLiteral("Help")}));
    auto* menuBar = ControlId::Find<CMenuXP>(&window, CMenuXP::kControlId);
    bar->child(2)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(menuBar->OpenIndex(), 2);
    EXPECT_TRUE(bar->child(2)->state().expanded);
    menuBar->ClosePopup();

    auto* captions = window.findChild<CCaptionButtons*>();
    QAccessibleInterface* group = Accessible(captions);
    ASSERT_EQ(group->childCount(), 2);
    EXPECT_EQ(group->child(0)->text(QAccessible::Name), QStringLiteral("Minimize"));
    EXPECT_EQ(group->child(1)->text(QAccessible::Name), QStringLiteral("Close"));
    EXPECT_TRUE(group->child(1)->rect().contains(window.mapToGlobal(captions->CloseRect().center())));
    QSignalSpy quit(&window, &CMainWindow::quitRequested);
    group->child(1)->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(quit.count(), 1);
}

TEST_F(DesktopAccessTest, SpaceAndEnterPressEverySkinnedButtonThatTabReaches)
{
    CMainWindow& window = OpenWindow();
    window.OnCommand(CommandId::kTagEditToggleButton);
    const auto buttons = window.findChildren<CSkinButton*>();
    ASSERT_GE(buttons.size(), 6);
    for (CSkinButton* button : buttons) {
        if (!button->isVisibleTo(&window) || !button->isEnabled()) {
            continue;
        }
        const std::string name = button->text().toStdString() + " " + std::to_string(ControlId::Of(button));
        EXPECT_TRUE(button->focusPolicy() & Qt::TabFocus) << name;
        // Pressing must not run the window's commands here (dialogs, playback): only the click counts.
        button->disconnect(&window);
        QSignalSpy clicks(button, &QAbstractButton::clicked);
        button->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(button->hasFocus()) << name;

        const QImage focused = button->grab().toImage();
        QTest::keyClick(button, Qt::Key_Space);
        QTest::keyClick(button, Qt::Key_Return);
        QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(clicks.count(), 3) << name;

        window.setFocus();
        EXPECT_NE(button->grab().toImage(), focused) << name << ": the focus must show";
    }
}

TEST_F(DesktopAccessTest, ArrowKeysMoveSlidersAndTheSourceChoice)
{
    CMainWindow& window = OpenWindow();
    CRecordSourcePanel& panel = window.SourcePanel();
    ASSERT_EQ(panel.SourceCount(), 2);

    CSkinSlider* slider = panel.Slider(0);
    slider->setFocus(Qt::TabFocusReason);
    const int before = slider->value();
    QTest::keyClick(slider, Qt::Key_Left);
    EXPECT_EQ(slider->value(), before - slider->singleStep());
    const QImage focused = slider->grab().toImage();
    window.setFocus();
    EXPECT_NE(slider->grab().toImage(), focused) << "the focus must show on a slider";

    QRadioButton* first = panel.RadioButton(0);
    ASSERT_TRUE(first->isChecked());
    first->setFocus(Qt::TabFocusReason);
    QTest::keyClick(first, Qt::Key_Down);
    EXPECT_TRUE(panel.RadioButton(1)->isChecked());
    EXPECT_TRUE(panel.RadioButton(1)->hasFocus());
    EXPECT_EQ(panel.SelectedIndex(), 1);
    EXPECT_EQ(m_backend->DefaultSource(), QStringLiteral("line")) << "the choice reaches the sound system";
}

TEST_F(DesktopAccessTest, LevelMeterFollowsTheRecordingAndKeepsAClipUntilClicked)
{
    CMainWindow& window = OpenWindow();
    CLevelMeter& meter = window.LevelMeter();
    EXPECT_EQ(meter.Channels(), 0);
    EXPECT_FALSE(meter.geometry().intersects(window.WaveformRect()));

    window.OnCommand(CommandId::kRecord);
    ASSERT_TRUE(window.Controller().IsRecording());
    Feed(Pcm(16384, 1638, 44100 / 4));
    QTRY_COMPARE(meter.Channels(), 2);
    EXPECT_NEAR(meter.LevelDb(0), -6.0, 1.5);
    EXPECT_LT(meter.LevelDb(1), meter.LevelDb(0) - 15) << "each channel on its own bar";
    EXPECT_FALSE(meter.IsClipped());

    Feed(Pcm(-32768, 0, 4608));
    QTRY_VERIFY(meter.IsClipped());
    QTest::mouseClick(&meter, Qt::LeftButton);
    QTRY_VERIFY(!meter.IsClipped());

    window.OnCommand(CommandId::kStop);
    ASSERT_FALSE(window.Controller().IsRecording());
    EXPECT_EQ(meter.Channels(), 0) << "the recording's levels go with it";
    const int rows = window.List().RowCount();

    // Idle, the meter still listens to the source, so the level shows before Record.
    ASSERT_TRUE(window.IsPreviewingInput());
    m_backend->QueueCapture(Pcm(8192, 8192, 44100 / 4));
    ASSERT_TRUE(m_backend->WaitUntilCaptureIdle());
    QTRY_COMPARE(meter.Channels(), 2);
    EXPECT_NEAR(meter.LevelDb(1), -12.0, 1.5);
    EXPECT_EQ(window.List().RowCount(), rows) << "listening records nothing";

    window.showMinimized();
    QCoreApplication::processEvents();
    EXPECT_FALSE(window.IsPreviewingInput()) << "no listening while out of sight";
}

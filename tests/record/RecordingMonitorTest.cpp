// The recording monitor's silence timing and display events, fed buffer by buffer.
#include "record/RecordingMonitor.h"

#include "app/RecordSettings.h"
#include "platform/AppEvent.h"
#include "record/MixerState.h"
#include "record/RecordingTestHelpers.h"

#include <QObject>
#include <gtest/gtest.h>

namespace
{
constexpr int kRate = 8000;
constexpr std::size_t kBufferSamples = 1152;
constexpr std::size_t kBufferBytes = kBufferSamples * 2;
// 41 buffers are 5.9 s of mono 8000 Hz sound, 42 are 6.05 s.
constexpr int kBuffersBelowSixSeconds = 41;
constexpr std::int16_t kLoud = 8000;
constexpr std::int16_t kQuiet = 100;

struct PostedEvent
{
    int type = 0;
    std::intptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

class EventLog : public QObject
{
public:
    bool event(QEvent* event) override
    {
        if (const auto* appEvent = dynamic_cast<const CAppEvent*>(event)) {
            m_events.push_back({int(event->type()), appEvent->WParam(), appEvent->LParam()});
            return true;
        }
        return QObject::event(event);
    }

    // Events other than display updates, delivered so far.
    std::vector<PostedEvent> Actions()
    {
        QCoreApplication::sendPostedEvents(this);
        std::vector<PostedEvent> actions;
        for (const PostedEvent& posted : m_events) {
            if (posted.type != CRecordingMonitor::kDisplayEvent) {
                actions.push_back(posted);
            }
        }
        return actions;
    }
    std::vector<PostedEvent> All()
    {
        QCoreApplication::sendPostedEvents(this);
        return m_events;
    }

private:
    std::vector<PostedEvent> m_events;
};

class RecordingMonitorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RecordingTest::PrepareProcess();
        RecordingTest::ResetSettings(QDir::tempPath() + "/", 1, kRate);
        MixerState::selectedLevel = MixerState::kDefaultSelectedLevel;
        // Made after the application object, like every QObject of the program.
        m_log = std::make_unique<EventLog>();
        m_monitor = std::make_unique<CRecordingMonitor>(m_log.get(), RecordFormat::Pcm16(1, kRate), nullptr);
    }

    void Feed(std::int16_t amplitude, int count = 1)
    {
        // A square wave: every sample has the same absolute value, so the level is exact.
        std::vector<std::int16_t> buffer(kBufferSamples);
        for (std::size_t i = 0; i < buffer.size(); ++i) {
            buffer[i] = std::int16_t(i % 2 == 0 ? amplitude : -amplitude);
        }
        for (int i = 0; i < count; ++i) {
            m_monitor->OnBuffer(buffer.data(), kBufferBytes, false);
        }
    }

    std::unique_ptr<EventLog> m_log;
    std::unique_ptr<CRecordingMonitor> m_monitor;
};
} // namespace

TEST_F(RecordingMonitorTest, StopsAfterSixSecondsOfSilenceWithALimitOfFive)
{
    CRecordSettings::Instance().SetLongSilenceAction(0);
    CRecordSettings::Instance().SetStopAfterSeconds(5);
    Feed(kLoud);
    Feed(0, kBuffersBelowSixSeconds);
    EXPECT_TRUE(m_log->Actions().empty()) << "fired before six whole seconds of silence";
    Feed(0);
    const auto actions = m_log->Actions();
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0].type, AppEventType::kCommand);
    EXPECT_EQ(actions[0].wParam, CRecordingMonitor::kStopCommandId);
    EXPECT_EQ(actions[0].lParam, 0);

    // The run starts over after firing: the next action needs another six seconds.
    Feed(0, kBuffersBelowSixSeconds);
    EXPECT_EQ(m_log->Actions().size(), 1u);
    Feed(0);
    EXPECT_EQ(m_log->Actions().size(), 2u);
}

TEST_F(RecordingMonitorTest, AsksForANewFileWithItsOwnLimit)
{
    CRecordSettings::Instance().SetLongSilenceAction(1);
    CRecordSettings::Instance().SetNewFileAfterSeconds(2);
    CRecordSettings::Instance().SetStopAfterSeconds(100);
    Feed(kLoud);
    // Three seconds are 20.8 buffers: the 21st fires.
    Feed(kQuiet, 20);
    EXPECT_TRUE(m_log->Actions().empty());
    Feed(kQuiet);
    const auto actions = m_log->Actions();
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0].type, AppEventType::kSilenceNewFile);
    EXPECT_EQ(actions[0].wParam, 0);
    EXPECT_EQ(actions[0].lParam, 0);
}

TEST_F(RecordingMonitorTest, NeverFiresBeforeSoundWasHeard)
{
    Feed(0, 10 * kBuffersBelowSixSeconds);
    EXPECT_TRUE(m_log->Actions().empty());
    EXPECT_FALSE(m_monitor->SoundHeard());
    // Sound counts once the mean level of the whole run passes the threshold of 349: after
    // 410 silent buffers, that takes 19 buffers at 8000.
    Feed(kLoud, 18);
    EXPECT_FALSE(m_monitor->SoundHeard());
    Feed(kLoud);
    EXPECT_TRUE(m_monitor->SoundHeard());
    Feed(0, kBuffersBelowSixSeconds + 1);
    EXPECT_EQ(m_log->Actions().size(), 1u);
}

TEST_F(RecordingMonitorTest, TheDetectorSwitchDisablesTheAction)
{
    CRecordSettings::Instance().SetSilenceDetectorEnabled(false);
    Feed(kLoud);
    Feed(0, 5 * kBuffersBelowSixSeconds);
    EXPECT_TRUE(m_log->Actions().empty());
}

TEST_F(RecordingMonitorTest, AShortClickInsideALongSilenceDoesNotEndIt)
{
    Feed(kLoud);
    Feed(0, 20);
    // One loud buffer raises the run's mean level to 3000 / 21, still far below the threshold.
    Feed(3000);
    Feed(0, kBuffersBelowSixSeconds - 21);
    EXPECT_TRUE(m_log->Actions().empty());
    Feed(0);
    EXPECT_EQ(m_log->Actions().size(), 1u);
}

TEST_F(RecordingMonitorTest, TheThresholdFollowsTheSelectedSourceLevel)
{
    // At full record level the threshold is 1899: a level of 1000 counts as silence.
    MixerState::selectedLevel = 65535;
    Feed(kLoud);
    Feed(1000, kBuffersBelowSixSeconds + 1);
    EXPECT_EQ(m_log->Actions().size(), 1u);

    // At the lowest level the threshold is 349, and 1000 is sound that keeps resetting the run.
    MixerState::selectedLevel = 0;
    Feed(1000, 3 * kBuffersBelowSixSeconds);
    EXPECT_EQ(m_log->Actions().size(), 1u);
}

TEST_F(RecordingMonitorTest, PostsADisplayUpdateForNewSecondsAndForRepaintsOnly)
{
    Feed(kLoud, 3);
    std::vector<PostedEvent> all = m_log->All();
    ASSERT_EQ(all.size(), 1u) << "without a change of second only the first buffer posts";
    EXPECT_EQ(all[0].type, CRecordingMonitor::kDisplayEvent);
    EXPECT_EQ(all[0].wParam, 0);

    std::vector<std::int16_t> buffer(kBufferSamples, kLoud);
    m_monitor->OnBuffer(buffer.data(), kBufferBytes, true);
    all = m_log->All();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1].wParam, 1);
}

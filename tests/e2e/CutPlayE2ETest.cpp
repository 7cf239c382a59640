// The cut-and-play dialog through the real PulseAudio back-end on the private test server: a
// selection in the middle of a file, played with Repeat down until Stop, recorded back from the
// null sink's monitor.
#include "NullSinkPlayback.h"
#include "app/DialogSeams.h"
#include "support/TestSupport.h"
#include "wave_editor/CutPlayDlg.h"
#include "wave_editor/WaveData.h"
#include "wave_editor/WaveEditCtrl.h"

#include <QAction>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace
{
constexpr int kRate = CNullSinkPlaybackTest::kRate;
constexpr int kChannels = CNullSinkPlaybackTest::kChannels;
constexpr double kOuterHz = 440.0;
constexpr double kSelectionHz = 880.0;
constexpr double kOuterSeconds = 1.0;
constexpr double kSelectionSeconds = 2.0;
constexpr double kToneAmplitude = 0.5; // of full scale, SinePcm's default
// The capture runs this long before Play and after Stop.
constexpr int kLeadInMs = 300;
constexpr int kTailMs = 500;
// Two passes heard in full: the play cursor jumps back to the start twice.
constexpr int kPassesToHear = 2;
// Zoom halves per step; far more steps than any file needs to reach the finest zoom.
constexpr int kMostZoomSteps = 32;
// A hang guard on real time, not a speed requirement.
constexpr int kHangGuardMs = 30000;

// The recording is judged in windows this long; both tones fit a whole number of periods.
constexpr double kWindowSeconds = 0.05;
constexpr double kFullScale = 32768.0;
// A tone counts in a window when it fills about half of it or more.
constexpr double kPresentAmplitude = kToneAmplitude / 2;
// A stray bit of the outer tone shows from a quarter of a window on.
constexpr double kStrayAmplitude = kToneAmplitude / 4;
// Two passes of the selection; the null sink's monitor misses about the first 0.1 s of each
// newly started stream.
constexpr double kLeastSelectionHeard = 3.2;
constexpr double kMostSelectionHeard = 5.5;
// The outer tone is never played, but the sink renders ahead of the stream clock the dialog
// stops by, and the monitor hears that at once, so a few tens of milliseconds of what follows
// the selection may show after each pass (a sound card's sink takes them back when the stream
// goes). Allowed per pass, with room for a late poll on a busy machine.
constexpr double kOvershootSeconds = 0.25;
constexpr double kQuietTailSeconds = 0.3;
constexpr int kQuietPeak = 300;

// The amplitude of one frequency in a stretch of the first channel (Goertzel), as a share of
// full scale.
double AmplitudeAt(const std::int16_t* samples, std::size_t frames, double hz)
{
    const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * hz / kRate);
    double previous = 0;
    double beforePrevious = 0;
    for (std::size_t i = 0; i < frames; ++i) {
        const double current = samples[i * kChannels] + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    const double power =
        previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
    return 2.0 * std::sqrt(std::max(0.0, power)) / double(frames) / kFullScale;
}

// How much of each tone a recording holds, counted in whole windows, with a one-character-per-
// window picture of it for the failure messages: 'H' the selection's tone, 'L' the outer tone,
// '.' neither.
struct Heard
{
    int selectionWindows = 0;
    int outerWindows = 0;
    int longestOuterRun = 0;
    char firstTone = '.';
    std::string timeline;

    double SelectionSeconds() const { return selectionWindows * kWindowSeconds; }
    double OuterSeconds() const { return outerWindows * kWindowSeconds; }
    double LongestOuterSeconds() const { return longestOuterRun * kWindowSeconds; }
};

Heard Listen(const std::vector<std::int16_t>& samples)
{
    Heard heard;
    const auto windowFrames = std::size_t(std::lround(kWindowSeconds * kRate));
    const std::size_t frames = samples.size() / kChannels;
    int outerRun = 0;
    for (std::size_t first = 0; first + windowFrames <= frames; first += windowFrames) {
        const std::int16_t* window = samples.data() + first * kChannels;
        const bool selection = AmplitudeAt(window, windowFrames, kSelectionHz) >= kPresentAmplitude;
        const bool outer = AmplitudeAt(window, windowFrames, kOuterHz) >= kStrayAmplitude;
        heard.selectionWindows += selection ? 1 : 0;
        heard.outerWindows += outer ? 1 : 0;
        outerRun = outer ? outerRun + 1 : 0;
        heard.longestOuterRun = std::max(heard.longestOuterRun, outerRun);
        heard.timeline += outer ? 'L' : selection ? 'H' : '.';
        if (heard.firstTone == '.') {
            heard.firstTone = heard.timeline.back();
        }
    }
    return heard;
}

int PeakOfLast(const std::vector<std::int16_t>& samples, double seconds)
{
    const auto count = std::min(samples.size(), std::size_t(std::lround(seconds * kRate)) * kChannels);
    int peak = 0;
    for (auto it = samples.end() - std::ptrdiff_t(count); it != samples.end(); ++it) {
        peak = std::max(peak, std::abs(int(*it)));
    }
    return peak;
}

class CutPlayE2ETest : public CNullSinkPlaybackTest
{
protected:
    void SetUp() override
    {
        CNullSinkPlaybackTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        ASSERT_TRUE(m_data.isValid() && m_files.isValid());
        qputenv("SORVANE_DATA_DIR", m_data.path().toLocal8Bit());
        m_seams = std::make_unique<DialogSeams::CScopedHandlers>(
            [](QWidget*, const DialogSeams::MessageRequest& request) {
                ADD_FAILURE() << "unexpected message: " << request.text.toStdString();
                return QMessageBox::Ok;
            },
            [this](QWidget*, const DialogSeams::FileRequest&) { return QStringList{m_answer}; });
    }

    void TearDown() override
    {
        m_seams.reset();
        CNullSinkPlaybackTest::TearDown();
    }

    static void Press(CCutPlayDlg& dialog, int commandId)
    {
        QAction* action = dialog.CommandAction(commandId);
        ASSERT_NE(action, nullptr);
        QWidget* button = dialog.ToolBar()->widgetForAction(action);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    QTemporaryDir m_data;
    QTemporaryDir m_files;
    QString m_answer;
    std::unique_ptr<DialogSeams::CScopedHandlers> m_seams;
};
} // namespace

TEST_F(CutPlayE2ETest, RepeatPlaysTheSelectionAgainUntilStopAndNothingElse)
{
    const ThreeTones tones = MakeThreeTones(kOuterSeconds, kOuterHz, kSelectionSeconds, kSelectionHz, kToneAmplitude);
    m_answer = m_files.filePath(QStringLiteral("three tones.wav"));
    ASSERT_TRUE(TestSupport::WriteSimpleWav(m_answer, tones.pcm, kChannels, kRate));

    CCutPlayDlg dialog;
    dialog.show();
    Press(dialog, CCutPlayDlg::kOpenCommand);
    ASSERT_EQ(dialog.WorkingFile(), m_answer);
    ASSERT_TRUE(dialog.IsRepeatOn());

    // The columns just inside the selection's tone, at the finest zoom.
    CWaveData& store = dialog.WaveEdit()->Data();
    for (int press = 0; press < kMostZoomSteps && store.Zoom() > CWaveData::kSmallestZoom; ++press) {
        Press(dialog, CCutPlayDlg::kZoomInCommand);
    }
    const auto selectionStart = std::lround(kOuterSeconds * kRate);
    const auto selectionEnd = std::lround((kOuterSeconds + kSelectionSeconds) * kRate);
    store.SetAnchorAt(int((selectionStart + store.Zoom() - 1) / store.Zoom()) - store.Scroll());
    store.SetCursorAt(int(selectionEnd / store.Zoom()) - store.Scroll());
    ASSERT_GE(store.AnchorFrame(), selectionStart);
    ASSERT_LE(store.CursorFrame(), selectionEnd);
    ASSERT_GT(double(store.CursorFrame() - store.AnchorFrame()), (kSelectionSeconds - kWindowSeconds) * kRate);

    ASSERT_NO_FATAL_FAILURE(StartMonitor());
    QTest::qWait(kLeadInMs);

    Press(dialog, CCutPlayDlg::kPlaySelectionCommand);
    ASSERT_TRUE(dialog.IsPlaying());
    // Each new pass sends the play cursor back to the selection's start.
    int passesEnded = 0;
    int lastCursor = -1;
    const bool settled = QTest::qWaitFor(
        [&] {
            if (!dialog.IsPlaying() || !dialog.WaveEdit()->IsPlayCursorShown()) {
                return !dialog.IsPlaying();
            }
            const int cursor = dialog.WaveEdit()->PlayCursorRect().left();
            passesEnded += cursor < lastCursor ? 1 : 0;
            lastCursor = cursor;
            return passesEnded >= kPassesToHear;
        },
        kHangGuardMs);
    EXPECT_TRUE(settled) << "no second pass within the hang guard";
    EXPECT_GE(passesEnded, kPassesToHear);
    EXPECT_TRUE(dialog.IsPlaying()) << "playback ended by itself with Repeat down";
    Press(dialog, CCutPlayDlg::kStopCommand);
    EXPECT_FALSE(dialog.IsPlaying());
    QTest::qWait(kTailMs);
    const std::vector<std::int16_t> samples = StopMonitor();
    ASSERT_GT(samples.size(), std::size_t(kQuietTailSeconds * kRate) * kChannels);
    const Heard heard = Listen(samples);
    EXPECT_GE(heard.SelectionSeconds(), kLeastSelectionHeard) << heard.timeline;
    EXPECT_LE(heard.SelectionSeconds(), kMostSelectionHeard) << heard.timeline;
    // Nothing before the selection was played, and after it no more than the overshoot of
    // each pass.
    EXPECT_EQ(heard.firstTone, 'H') << heard.timeline;
    EXPECT_LE(heard.LongestOuterSeconds(), kOvershootSeconds) << heard.timeline;
    EXPECT_LE(heard.OuterSeconds(), kPassesToHear * kOvershootSeconds) << heard.timeline;
    EXPECT_LE(PeakOfLast(samples, kQuietTailSeconds), kQuietPeak) << "still playing after Stop: " << heard.timeline;
}

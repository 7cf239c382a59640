#include "record/WaveRecorder.h"

#include "FakeLameEnc.h"
#include "Mp3Check.h"
#include "app/RecordSettings.h"
#include "platform/AudioTestHelpers.h"
#include "platform/audio/ScopedAudioBackend.h"
#include "platform/audio/memory/MemoryAudioBackend.h"
#include "platform/audio/pulse/PulseAudioBackend.h"
#include "record/CaptureMonitor.h"
#include "record/Mp3StreamEncoder.h"
#include "support/SoundServerLock.h"
#include "support/TestSoundServer.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace
{
constexpr int kToleranceFrames = 4;
constexpr double kToneHz = 440.0;

// Settings of this test program live in a private Data folder, never the user's.
const bool kPrivateDataFolder = [] {
    static QTemporaryDir dataFolder;
    qputenv("SORVANE_DATA_DIR", dataFolder.path().toLocal8Bit());
    return true;
}();

QByteArray TonePcm(int channels, int rate, std::size_t bytes)
{
    const auto pcm = TestSupport::SinePcm(channels, rate, double(bytes) / (2.0 * channels * rate) + 0.01, kToneHz);
    return QByteArray(reinterpret_cast<const char*>(pcm.data()), qsizetype(bytes));
}

// Sees every OnBuffer call; can hold one call until released, and tells whether a call began
// after the test marked the monitor detached.
class MonitorLog : public CCaptureMonitor
{
public:
    void OnBuffer(const std::int16_t* samples, std::size_t byteCount, bool repaint) override
    {
        std::unique_lock lock(m_mutex);
        m_callsAfterDetach += m_detached ? 1 : 0;
        m_buffers.emplace_back(reinterpret_cast<const char*>(samples), qsizetype(byteCount));
        m_repaints.push_back(repaint);
        m_threads.push_back(std::this_thread::get_id());
        if (m_holdAt == m_buffers.size()) {
            m_held = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_released; });
            m_detachedBeforeHeldCallEnded = m_detached;
        }
        m_changed.notify_all();
    }

    void HoldCall(std::size_t number) { m_holdAt = number; }
    bool WaitUntilHeld()
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, AudioTest::kHangGuard, [this] { return m_held; });
    }
    void Release()
    {
        std::lock_guard lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }
    bool WaitForBuffers(std::size_t count)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, AudioTest::kHangGuard, [&] { return m_buffers.size() >= count; });
    }
    void MarkDetached()
    {
        std::lock_guard lock(m_mutex);
        m_detached = true;
    }

    std::vector<QByteArray> Buffers() const
    {
        std::lock_guard lock(m_mutex);
        return m_buffers;
    }
    std::vector<bool> Repaints() const
    {
        std::lock_guard lock(m_mutex);
        return m_repaints;
    }
    std::vector<std::thread::id> Threads() const
    {
        std::lock_guard lock(m_mutex);
        return m_threads;
    }
    int CallsAfterDetach() const
    {
        std::lock_guard lock(m_mutex);
        return m_callsAfterDetach;
    }
    bool DetachedBeforeHeldCallEnded() const
    {
        std::lock_guard lock(m_mutex);
        return m_detachedBeforeHeldCallEnded;
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<QByteArray> m_buffers;
    std::vector<bool> m_repaints;
    std::vector<std::thread::id> m_threads;
    std::size_t m_holdAt = 0;
    bool m_held = false;
    bool m_released = false;
    bool m_detached = false;
    bool m_detachedBeforeHeldCallEnded = false;
    int m_callsAfterDetach = 0;
};

// Ends the program if a stop hangs, so the failure shows instead of stalling the run.
class HangWatchdog
{
public:
    HangWatchdog()
        : m_thread([this] {
            std::unique_lock lock(m_mutex);
            if (!m_changed.wait_for(lock, std::chrono::seconds(30), [this] { return m_done; })) {
                std::fputs("deadlock: stopping the recorder did not return\n", stderr);
                std::_Exit(EXIT_FAILURE);
            }
        })
    {}
    ~HangWatchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_done = false;
    std::thread m_thread;
};

struct Decoded
{
    long long samplesPerChannel = 0;
    QString rate;
    QString channels;
    double toneHz = 0.0;
};

// Decodes with the peer tools only: mpg123 for the samples, ffprobe for rate and channels.
Decoded DecodeMp3(const QString& path, int channels)
{
    Decoded decoded;
    const Mp3Check::Decoded check = Mp3Check::Decode(path, channels);
    EXPECT_TRUE(check.ok) << path.toStdString();
    decoded.samplesPerChannel = check.samplesPerChannel;
    decoded.rate = check.ffprobeRate;
    decoded.channels = check.ffprobeChannels;
    const auto pcm = TestSupport::RunTool(QStringLiteral("mpg123"), {QStringLiteral("-q"), QStringLiteral("-s"), path});
    const auto samples = AudioTest::Channel(pcm.out, channels);
    // The encoder's start-up delay is silence; judge the tone after it.
    constexpr std::size_t kSettle = 2400;
    if (samples.size() > 2 * kSettle) {
        const std::vector<std::int16_t> settled(samples.begin() + kSettle, samples.end() - kSettle);
        decoded.toneHz = AudioTest::ToneFrequency(settled, check.ffprobeRate.toInt());
    }
    return decoded;
}

class WaveRecorderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        CMp3StreamEncoder::SetLibraryPathOverride({});
        UseFormat(2, 44100);
        CRecordSettings::Instance().SetSkipSilentPassages(false);
        CRecordSettings::Instance().SetBitrateIndex(CRecordSettings::kDefaultBitrateIndex);
    }
    void TearDown() override { CMp3StreamEncoder::SetLibraryPathOverride({}); }

    static void UseFormat(int channels, std::uint32_t rate)
    {
        CRecordSettings::Instance().SetFormat(RecordFormat::Pcm16(std::uint16_t(channels), rate));
    }
    QString Path(const QString& name) const { return m_dir.filePath(name); }

    // The controller's order at stop; returns the recorded path.
    static QString StopAndClose(CWaveRecorder& recorder)
    {
        HangWatchdog watchdog;
        recorder.SetMonitor(nullptr);
        recorder.Stop();
        const QString path = recorder.OutputPath();
        recorder.Close();
        recorder.DestroyHandshake();
        return path;
    }

    void Feed(const QByteArray& bytes)
    {
        m_card->QueueCapture(bytes);
        ASSERT_TRUE(m_card->WaitUntilCaptureIdle());
    }

    std::shared_ptr<CMemoryAudioBackend> m_card = std::make_shared<CMemoryAudioBackend>();
    CScopedAudioBackend m_installed{m_card};
    QTemporaryDir m_dir;
};

TEST_F(WaveRecorderTest, BuffersAreOneEncoderChunkInEveryFormat)
{
    struct Case
    {
        int channels;
        std::uint32_t rate;
        int bufferBytes;
    };
    // One MP3 frame of input: 1152 samples per channel at 44100 Hz, 576 below 32 kHz.
    const std::vector<Case> cases = {{2, 44100, 4608}, {1, 44100, 2304}, {2, 22050, 2304},
                                     {1, 22050, 1152}, {2, 11025, 2304}, {1, 8000, 1152}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.channels) + " x " + std::to_string(c.rate));
        UseFormat(c.channels, c.rate);
        CWaveRecorder recorder;
        EXPECT_EQ(recorder.BufferBytes(), CWaveRecorder::kInitialBufferBytes);
        ASSERT_TRUE(recorder.Open(Path(QStringLiteral("format.mp3"))));
        EXPECT_EQ(recorder.BufferBytes(), c.bufferBytes);
        EXPECT_EQ(recorder.Format(), RecordFormat::Pcm16(std::uint16_t(c.channels), c.rate));
        ASSERT_TRUE(recorder.Start());
        EXPECT_EQ(m_card->LastCaptureBufferBytes(), std::size_t(c.bufferBytes));
        EXPECT_EQ(m_card->LastCaptureFormat(), PcmFormat::Pcm16(c.channels, c.rate));
        Feed(TonePcm(c.channels, int(c.rate), std::size_t(c.bufferBytes) * 3));
        EXPECT_EQ(recorder.CapturedBytes(), std::uint32_t(c.bufferBytes) * 3);
        StopAndClose(recorder);
    }
}

TEST_F(WaveRecorderTest, ElapsedTextCountsWholeBuffersOfCapturedBytes)
{
    CWaveRecorder recorder;
    ASSERT_TRUE(recorder.Open(Path(QStringLiteral("elapsed.mp3"))));
    EXPECT_EQ(recorder.ElapsedText(), QStringLiteral("00 : 00"));
    ASSERT_TRUE(recorder.Start());
    Feed(TonePcm(2, 44100, 4608 * 38 + 100)); // the partial buffer does not count yet
    EXPECT_EQ(recorder.CapturedBytes(), 4608u * 38);
    EXPECT_EQ(recorder.ElapsedText(), QStringLiteral("00 : 00"));
    Feed(TonePcm(2, 44100, 4608 - 100));
    EXPECT_EQ(recorder.CapturedBytes(), 179712u);
    EXPECT_EQ(recorder.ElapsedText(), QStringLiteral("00 : 01"));
    StopAndClose(recorder);

    const RecordFormat stereo = RecordFormat::Pcm16(2, 44100);
    const RecordFormat mono8k = RecordFormat::Pcm16(1, 8000);
    EXPECT_EQ(CWaveRecorder::ElapsedTextFor(16000 * 61, mono8k), QStringLiteral("01 : 01"));
    EXPECT_EQ(CWaveRecorder::ElapsedTextFor(16000ull * 60 * 100 + 15999, mono8k), QStringLiteral("100 : 00"));
    // Seven hours of stereo pass 4 GiB and still show seven hours.
    EXPECT_EQ(CWaveRecorder::ElapsedTextFor(176400ull * 3600 * 7, stereo), QStringLiteral("420 : 00"));
}

TEST_F(WaveRecorderTest, RecentWindowKeepsTheNewestCapturedBytes)
{
    for (const int channels : {2, 1}) {
        SCOPED_TRACE(channels);
        UseFormat(channels, 44100);
        CWaveRecorder recorder;
        ASSERT_TRUE(recorder.Open(Path(QStringLiteral("window.mp3"))));
        ASSERT_TRUE(recorder.Start());
        const std::size_t buffer = std::size_t(recorder.BufferBytes());
        const QByteArray stream = AudioTest::CountingBytes(buffer * 8);
        std::vector<std::uint8_t> window;
        for (std::size_t count = 1; count <= 8; ++count) {
            Feed(stream.mid(qsizetype(buffer * (count - 1)), qsizetype(buffer)));
            const auto expectedFill = std::min<std::size_t>(buffer * count, CWaveRecorder::kRecentWindowBytes);
            EXPECT_EQ(recorder.RecentFill(), int(expectedFill));
            recorder.CopyRecentWindow(window);
            const QByteArray expected = stream.left(qsizetype(buffer * count)).right(qsizetype(expectedFill));
            EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(window.data()), qsizetype(window.size())), expected)
                << "after " << count << " buffers";
        }
        StopAndClose(recorder);
        EXPECT_EQ(recorder.RecentFill(), 0);
    }
}

TEST_F(WaveRecorderTest, MonitorSeesEveryBufferInOrderAndRepaintsEverySixthAcrossEngines)
{
    std::vector<bool> repaints;
    for (const int buffers : {8, 17}) {
        MonitorLog monitor;
        CWaveRecorder recorder;
        recorder.SetMonitor(&monitor);
        ASSERT_TRUE(recorder.Open(Path(QStringLiteral("monitor.mp3"))));
        ASSERT_TRUE(recorder.Start());
        const QByteArray stream = AudioTest::CountingBytes(4608 * std::size_t(buffers), 3);
        Feed(stream);
        StopAndClose(recorder);

        const auto seen = monitor.Buffers();
        ASSERT_EQ(seen.size(), std::size_t(buffers));
        for (std::size_t i = 0; i < seen.size(); ++i) {
            EXPECT_EQ(seen[i], stream.mid(qsizetype(4608 * i), 4608)) << "buffer " << i;
        }
        for (const auto& thread : monitor.Threads()) {
            EXPECT_NE(thread, std::this_thread::get_id());
        }
        const auto flags = monitor.Repaints();
        repaints.insert(repaints.end(), flags.begin(), flags.end());
    }
    // The counter is one for the process: the second engine goes on where the first stopped.
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < repaints.size(); ++i) {
        if (repaints[i]) {
            at.push_back(i);
        }
    }
    ASSERT_GE(at.size(), 4u);
    EXPECT_LT(at.front(), std::size_t(CWaveRecorder::kRepaintEveryBuffers));
    for (std::size_t i = 1; i < at.size(); ++i) {
        EXPECT_EQ(at[i] - at[i - 1], std::size_t(CWaveRecorder::kRepaintEveryBuffers));
    }
}

TEST_F(WaveRecorderTest, PauseKeepsCountingCaptureButSkipsWindowMonitorFileAndTime)
{
    constexpr int kLoud = 50;
    constexpr int kPausedTenSeconds = 383;
    MonitorLog monitor;
    CWaveRecorder recorder;
    recorder.SetMonitor(&monitor);
    ASSERT_TRUE(recorder.Open(Path(QStringLiteral("pause.mp3"))));
    ASSERT_TRUE(recorder.Start());
    const QByteArray tone = TonePcm(2, 44100, 4608 * (2 * kLoud + kPausedTenSeconds));

    Feed(tone.left(4608 * kLoud));
    std::vector<std::uint8_t> before;
    recorder.CopyRecentWindow(before);
    EXPECT_TRUE(recorder.TogglePause());
    EXPECT_TRUE(recorder.IsPaused());
    Feed(tone.mid(4608 * kLoud, 4608 * kPausedTenSeconds));
    std::vector<std::uint8_t> during;
    recorder.CopyRecentWindow(during);
    EXPECT_EQ(during, before);
    EXPECT_EQ(monitor.Buffers().size(), std::size_t(kLoud));
    EXPECT_FALSE(recorder.TogglePause());
    Feed(tone.right(4608 * kLoud));
    EXPECT_EQ(monitor.Buffers().size(), std::size_t(2 * kLoud));
    EXPECT_EQ(recorder.CapturedBytes(), 4608u * (2 * kLoud + kPausedTenSeconds));
    EXPECT_EQ(recorder.RecordedBytes(), 4608u * (2 * kLoud));
    // The time shown is the recorded time: 2.6 seconds, not the 12.6 captured.
    EXPECT_EQ(recorder.ElapsedText(), QStringLiteral("00 : 02"));
    const QString path = StopAndClose(recorder);

    const Decoded decoded = DecodeMp3(path, 2);
    EXPECT_GE(decoded.samplesPerChannel, 2LL * kLoud * 1152);
    EXPECT_LE(decoded.samplesPerChannel, (2LL * kLoud + kToleranceFrames) * 1152);
}

TEST_F(WaveRecorderTest, OpenFailsWithoutADeviceOrAnEncoderAndQueuesNothing)
{
    {
        m_card->SetSources({});
        CWaveRecorder recorder;
        const QString path = Path(QStringLiteral("nodevice"));
        EXPECT_FALSE(recorder.Open(path));
        EXPECT_FALSE(recorder.FailureText().isEmpty());
        EXPECT_FALSE(recorder.Start());
        m_card->QueueCapture(AudioTest::CountingBytes(4608 * 2));
        EXPECT_EQ(m_card->CaptureOpenCount(), 0);
        EXPECT_EQ(m_card->PendingCaptureItems(), 1u);
        EXPECT_EQ(recorder.CapturedBytes(), 0u);
        // The encoder's file is closed and left, named by OutputPath, for the controller.
        EXPECT_EQ(StopAndClose(recorder), path);
        EXPECT_TRUE(QFileInfo(path).isFile());
    }
    m_card->SetSources({{QStringLiteral("mic"), QStringLiteral("Mic"), {100, 100}}});
    {
        CWaveRecorder recorder;
        const QString path = Path(QStringLiteral("missing-folder/recording"));
        EXPECT_FALSE(recorder.Open(path));
        EXPECT_EQ(recorder.FailureText(), CMp3StreamEncoder::ErrorText(CMp3StreamEncoder::Error::OutputNotCreated));
        EXPECT_FALSE(recorder.Start());
        EXPECT_EQ(m_card->CaptureOpenCount(), 0);
        EXPECT_EQ(StopAndClose(recorder), path);
        EXPECT_FALSE(QFileInfo::exists(path));
    }
    {
        // A busy device: Open succeeds, Start fails, and the file is finished at once.
        m_card->SetCaptureOpenFails(true);
        CWaveRecorder recorder;
        ASSERT_TRUE(recorder.Open(Path(QStringLiteral("busy"))));
        EXPECT_FALSE(recorder.Start());
        EXPECT_FALSE(recorder.FailureText().isEmpty());
        EXPECT_FALSE(recorder.Start());
        EXPECT_EQ(StopAndClose(recorder), Path(QStringLiteral("busy")));
    }
}

TEST_F(WaveRecorderTest, StopNeverDeadlocksBehindASlowEncoderOrMonitor)
{
    const QString fakePath = TestSupport::BinaryDirectory() + QStringLiteral("/libfake_lame_enc.so");
    void* fake = ::dlopen(fakePath.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(fake, nullptr);
    const auto reset = reinterpret_cast<FakeResetFn>(::dlsym(fake, "fakeReset"));
    const auto setScript = reinterpret_cast<FakeSetScriptFn>(::dlsym(fake, "fakeSetScript"));
    const auto counts = reinterpret_cast<FakeCountsFn>(::dlsym(fake, "fakeCounts"));
    const auto firstSample = reinterpret_cast<FakeEncodedFirstSampleFn>(::dlsym(fake, "fakeEncodedFirstSample"));
    ASSERT_TRUE(reset && setScript && counts && firstSample);
    reset();
    const FakeLameScript slow{0, 4096, 0, 0, 8, 20};
    setScript(&slow);
    CMp3StreamEncoder::SetLibraryPathOverride(fakePath);

    MonitorLog monitor;
    monitor.HoldCall(3);
    CWaveRecorder recorder;
    recorder.SetMonitor(&monitor);
    ASSERT_TRUE(recorder.Open(Path(QStringLiteral("slow.mp3"))));
    ASSERT_TRUE(recorder.Start());
    // Each buffer is filled with its own number, so the encoder's order shows.
    QByteArray stream;
    for (std::int16_t sequence = 0; sequence < 200; ++sequence) {
        const std::vector<std::int16_t> samples(2304, sequence);
        stream.append(reinterpret_cast<const char*>(samples.data()), 4608);
    }
    m_card->QueueCapture(stream);
    ASSERT_TRUE(monitor.WaitUntilHeld());

    QString path;
    std::thread stopper([&] {
        HangWatchdog watchdog;
        recorder.SetMonitor(nullptr);
        monitor.MarkDetached();
        recorder.Stop();
        path = recorder.OutputPath();
        recorder.Close();
        recorder.DestroyHandshake();
    });
    // Give the stopper the chance to reach SetMonitor while the monitor call is still held.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    monitor.Release();
    stopper.join();

    EXPECT_FALSE(monitor.DetachedBeforeHeldCallEnded());
    EXPECT_EQ(monitor.CallsAfterDetach(), 0);
    const int encodes = counts().encodes;
    EXPECT_GE(encodes, 3);
    for (int i = 0; i < encodes; ++i) {
        EXPECT_EQ(firstSample(i), i);
    }
    EXPECT_EQ(counts().closes, 1);
    EXPECT_EQ(TestSupport::ReadAll(path), QByteArray(8 * encodes, 'M') + "END!");
    CMp3StreamEncoder::SetLibraryPathOverride({});
    ::dlclose(fake);
}

TEST_F(WaveRecorderTest, AVanishingDeviceEndsCaptureAndTheFileStillPlays)
{
    std::mutex mutex;
    std::condition_variable changed;
    bool failed = false;
    std::thread::id failureThread;

    CWaveRecorder recorder;
    recorder.SetFailureCallback([&] {
        std::lock_guard lock(mutex);
        failed = true;
        failureThread = std::this_thread::get_id();
        changed.notify_all();
    });
    ASSERT_TRUE(recorder.Open(Path(QStringLiteral("vanish"))));
    ASSERT_TRUE(recorder.Start());
    m_card->QueueCapture(TonePcm(2, 44100, 4608 * 40 + 1000));
    m_card->QueueVanish();
    m_card->QueueCapture(TonePcm(2, 44100, 4608 * 10)); // never arrives: the device is gone
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, AudioTest::kHangGuard, [&] { return failed; }));
        EXPECT_NE(failureThread, std::this_thread::get_id());
    }
    EXPECT_TRUE(recorder.HasFailed());
    EXPECT_EQ(recorder.FailureText(), QStringLiteral("the sound capture device was lost"));
    EXPECT_EQ(recorder.CapturedBytes(), 4608u * 40);
    const QString path = StopAndClose(recorder);

    const Decoded decoded = DecodeMp3(path, 2);
    EXPECT_EQ(decoded.rate, QStringLiteral("44100"));
    EXPECT_GE(decoded.samplesPerChannel, 40LL * 1152);
    EXPECT_LE(decoded.samplesPerChannel, (40LL + kToleranceFrames) * 1152);
}

TEST_F(WaveRecorderTest, AScriptedToneDecodesAtTheRightRateChannelsDurationAndPitch)
{
    struct Case
    {
        int channels;
        int rate;
    };
    std::vector<std::pair<QString, std::pair<Case, long long>>> recorded;
    for (const Case c : {Case{2, 44100}, Case{1, 22050}, Case{1, 8000}}) {
        UseFormat(c.channels, std::uint32_t(c.rate));
        CWaveRecorder recorder;
        ASSERT_TRUE(recorder.Open(Path(QStringLiteral("tone-%1-%2.mp3").arg(c.channels).arg(c.rate))));
        ASSERT_TRUE(recorder.Start());
        // Two seconds, in whole buffers.
        const std::size_t buffer = std::size_t(recorder.BufferBytes());
        const std::size_t bytes = (std::size_t(2 * c.rate * c.channels * 2) / buffer + 1) * buffer;
        Feed(TonePcm(c.channels, c.rate, bytes));
        recorded.push_back({StopAndClose(recorder), {c, (long long)(bytes) / (2 * c.channels)}});
    }
    // The peer tools run once every engine thread has ended.
    for (const auto& [path, expected] : recorded) {
        SCOPED_TRACE(path.toStdString());
        const auto& [c, samples] = expected;
        const Decoded decoded = DecodeMp3(path, c.channels);
        EXPECT_EQ(decoded.rate, QString::number(c.rate));
        EXPECT_EQ(decoded.channels, QString::number(c.channels));
        EXPECT_GE(decoded.samplesPerChannel, samples);
        EXPECT_LE(decoded.samplesPerChannel, samples + kToleranceFrames * 1152);
        EXPECT_NEAR(decoded.toneHz, kToneHz, kToneHz * 0.02);
    }
}

// The real PulseAudio back-end against the private server of scripts/test.sh.
TEST(WaveRecorderSoundServerTest, RecordsTwoSecondsOfTheSineSourceAt440Hz)
{
    const QString missing = TestSoundServer::SharedServerMissing();
    if (!missing.isEmpty()) {
        GTEST_SKIP() << missing.toStdString();
    }
    CSoundServerLock lock;
    ASSERT_TRUE(lock.IsLocked());
    const QString server = TestSoundServer::SharedServerAddress();
    auto backend = std::make_shared<CPulseAudioBackend>(server);
    {
        // Through the mixer rather than pactl: a spawned tool would blur the thread sanitizer's
        // view of everything after it.
        auto mixer = backend->CreateRecordMixer();
        std::vector<RecordSource> sources;
        ASSERT_TRUE(mixer->EnumerateSources(sources));
        const auto sine = std::find_if(sources.begin(), sources.end(), [](const RecordSource& source) {
            return source.name == QStringLiteral("sine");
        });
        ASSERT_NE(sine, sources.end());
        ASSERT_TRUE(mixer->SelectSource(int(sine - sources.begin())));
    }
    CScopedAudioBackend installed(backend);
    QTemporaryDir dir;
    CRecordSettings::Instance().SetFormat(RecordFormat::Pcm16(2, 44100));
    CRecordSettings::Instance().SetSkipSilentPassages(false);

    constexpr std::size_t kTwoSecondsOfBuffers = 2 * 176400 / 4608 + 1;
    MonitorLog monitor;
    CWaveRecorder recorder;
    recorder.SetMonitor(&monitor);
    ASSERT_TRUE(recorder.Open(dir.filePath(QStringLiteral("sine.mp3")))) << recorder.FailureText().toStdString();
    ASSERT_TRUE(recorder.Start()) << recorder.FailureText().toStdString();
    ASSERT_TRUE(monitor.WaitForBuffers(kTwoSecondsOfBuffers));
    recorder.SetMonitor(nullptr);
    recorder.Stop();
    const QString path = recorder.OutputPath();
    const long long captured = recorder.CapturedBytes() / 4;
    recorder.Close();
    recorder.DestroyHandshake();
    EXPECT_FALSE(recorder.HasFailed()) << recorder.FailureText().toStdString();

    const Decoded decoded = DecodeMp3(path, 2);
    EXPECT_EQ(decoded.rate, QStringLiteral("44100"));
    EXPECT_EQ(decoded.channels, QStringLiteral("2"));
    // Every buffer the encoder took is in the file; one more may have met the stop.
    EXPECT_GE(decoded.samplesPerChannel, 2LL * 44100);
    EXPECT_GE(decoded.samplesPerChannel, captured - 1152);
    EXPECT_LE(decoded.samplesPerChannel, captured + kToleranceFrames * 1152);
    EXPECT_NEAR(decoded.toneHz, kToneHz, kToneHz * 0.02);
}
} // namespace

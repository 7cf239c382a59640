// The PulseAudio back-end against the private test server that scripts/test.sh starts.
#include "platform/AudioTestHelpers.h"
#include "platform/audio/pulse/PulseAudioBackend.h"
#include "platform/audio/pulse/PulseVolume.h"
#include "support/SoundServerLock.h"
#include "support/TestSoundServer.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <gtest/gtest.h>

using AudioTest::BufferLog;
using AudioTest::kHangGuard;

namespace
{
constexpr std::size_t kStereoFrameBuffer = 4608;
constexpr std::size_t kMonoFrameBuffer = 2304;
constexpr double kSineHz = 440.0;
const QStringList kServerSources = {QStringLiteral("out.monitor"), QStringLiteral("sine"), QStringLiteral("pipe")};

struct PactlSource
{
    QString name;
    QString description;
    std::vector<unsigned> volumes;
};

class PulseServerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString missing = TestSoundServer::SharedServerMissing();
        if (!missing.isEmpty()) {
            GTEST_SKIP() << missing.toStdString();
        }
        m_lock = std::make_unique<CSoundServerLock>();
        ASSERT_TRUE(m_lock->IsLocked());
        m_server = TestSoundServer::SharedServerAddress();
        ResetServer();
        m_backend = std::make_shared<CPulseAudioBackend>(m_server);
    }

    void TearDown() override
    {
        if (m_lock) {
            ResetServer();
        }
    }

    // Every test starts from the server as the script made it, whatever an earlier one left.
    void ResetServer()
    {
        Pactl({QStringLiteral("set-default-source"), QStringLiteral("sine")});
        for (const QString& source : kServerSources) {
            Pactl({QStringLiteral("set-source-volume"), source, QStringLiteral("100%")});
        }
        Pactl({QStringLiteral("set-sink-volume"), QStringLiteral("out"), QStringLiteral("100%")});
    }

    QString Pactl(const QStringList& arguments)
    {
        const auto result = TestSoundServer::Pactl(m_server, arguments);
        EXPECT_EQ(result.exitCode, 0) << arguments.join(' ').toStdString() << ": " << result.err.toStdString();
        return QString::fromUtf8(result.out).trimmed();
    }

    // Names, descriptions and raw volumes in the server's order, as pactl reports them.
    std::vector<PactlSource> PactlSources()
    {
        std::vector<PactlSource> sources;
        static const QRegularExpression volumeValue(QStringLiteral("(\\d+) /"));
        for (const QString& rawLine : Pactl({QStringLiteral("list"), QStringLiteral("sources")}).split('\n')) {
            const QString line = rawLine.trimmed();
            if (line.startsWith(QStringLiteral("Source #"))) {
                sources.emplace_back();
            } else if (sources.empty()) {
                continue;
            } else if (line.startsWith(QStringLiteral("Name: "))) {
                sources.back().name = line.mid(6);
            } else if (line.startsWith(QStringLiteral("Description: "))) {
                sources.back().description = line.mid(13);
            } else if (line.startsWith(QStringLiteral("Volume: "))) {
                auto matches = volumeValue.globalMatch(line);
                while (matches.hasNext()) {
                    sources.back().volumes.push_back(matches.next().captured(1).toUInt());
                }
            }
        }
        return sources;
    }

    int SourceIndex(const QString& name)
    {
        auto mixer = m_backend->CreateRecordMixer();
        std::vector<RecordSource> sources;
        EXPECT_TRUE(mixer->EnumerateSources(sources));
        for (std::size_t i = 0; i < sources.size(); ++i) {
            if (sources[i].name == name) {
                return static_cast<int>(i);
            }
        }
        ADD_FAILURE() << "no source " << name.toStdString();
        return -1;
    }

    void SelectByName(const QString& name)
    {
        auto mixer = m_backend->CreateRecordMixer();
        ASSERT_TRUE(mixer->SelectSource(SourceIndex(name)));
        ASSERT_EQ(Pactl({QStringLiteral("get-default-source")}), name);
    }

    std::unique_ptr<AudioCapture> OpenCapture(const PcmFormat& format, std::size_t bufferBytes, BufferLog& log)
    {
        auto capture = m_backend->CreateCapture();
        const bool opened = capture->Open(
            format, bufferBytes, [&log](const std::uint8_t* data, std::size_t bytes) { log.Add(data, bytes); },
            [&log] { log.DeviceLost(); });
        EXPECT_TRUE(opened) << capture->LastError().toStdString();
        return opened ? std::move(capture) : nullptr;
    }

    // Captures `count` buffers of the sine source and checks them: exact size, a 440 Hz tone,
    // and no jump anywhere, buffer seams included, as a gap or a swapped buffer would make.
    void CheckSineCapture(const PcmFormat& format, std::size_t bufferBytes, std::size_t count)
    {
        BufferLog log;
        auto capture = OpenCapture(format, bufferBytes, log);
        ASSERT_TRUE(capture);
        ASSERT_TRUE(capture->Start()) << capture->LastError().toStdString();
        ASSERT_TRUE(log.WaitForBuffers(count));
        capture->Close();

        const auto buffers = log.Buffers();
        for (const QByteArray& buffer : buffers) {
            ASSERT_EQ(static_cast<std::size_t>(buffer.size()), bufferBytes);
        }
        for (const auto& thread : log.Threads()) {
            EXPECT_NE(thread, std::this_thread::get_id());
        }
        // The first buffers may hold the stream's start-up; judge the settled rest.
        QByteArray settled;
        for (std::size_t i = 2; i < buffers.size(); ++i) {
            settled += buffers[i];
        }
        for (int channel = 0; channel < format.channels; ++channel) {
            const auto samples = AudioTest::Channel(settled, format.channels, channel);
            EXPECT_NEAR(AudioTest::ToneFrequency(samples, int(format.sampleRate)), kSineHz, kSineHz * 0.02);
            const int peak = AudioTest::PeakAmplitude(samples);
            EXPECT_GT(peak, 1000);
            const double steepest = peak * 2.0 * 3.14159265 * kSineHz / format.sampleRate;
            EXPECT_LT(AudioTest::LargestStep(samples), int(steepest * 1.5) + 64);
        }
        EXPECT_EQ(log.LostCount(), 0);
    }

    std::unique_ptr<CSoundServerLock> m_lock;
    QString m_server;
    std::shared_ptr<CPulseAudioBackend> m_backend;
};
} // namespace

TEST_F(PulseServerTest, SineSourceAt44100StereoArrivesAsExactBuffersOfA440HzTone)
{
    SelectByName(QStringLiteral("sine"));
    CheckSineCapture(PcmFormat::Pcm16(2, 44100), kStereoFrameBuffer, 60);
}

TEST_F(PulseServerTest, SineSourceAt8000MonoArrivesAsExactBuffersOfA440HzTone)
{
    SelectByName(QStringLiteral("sine"));
    CheckSineCapture(PcmFormat::Pcm16(1, 8000), kMonoFrameBuffer, 16);
}

TEST_F(PulseServerTest, PipeSourceDeliversExactlyTheBytesWrittenAndStallsWithoutThem)
{
    SelectByName(QStringLiteral("pipe"));
    BufferLog log;
    auto capture = OpenCapture(PcmFormat::Pcm16(2, 44100), kStereoFrameBuffer, log);
    ASSERT_TRUE(capture);
    ASSERT_TRUE(capture->Start()) << capture->LastError().toStdString();

    // Whole frames (4 bytes) of a counting pattern; the first write ends inside a buffer.
    const QByteArray first = AudioTest::CountingBytes(kStereoFrameBuffer * 3 + 1000);
    const QByteArray second = AudioTest::CountingBytes(kStereoFrameBuffer * 3 - 1000, first.size());
    ASSERT_TRUE(TestSoundServer::WriteToPipe(TestSoundServer::SharedPipePath(), first));
    ASSERT_TRUE(log.WaitForBuffers(3));
    ASSERT_TRUE(TestSoundServer::WriteToPipe(TestSoundServer::SharedPipePath(), second));
    ASSERT_TRUE(log.WaitForBuffers(6));

    // Nothing written: the source stalls, and stopping a stalled capture returns.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    capture->Stop();
    capture->Close();
    EXPECT_EQ(log.Count(), 6u);
    EXPECT_EQ(log.Joined(), first + second);
    EXPECT_EQ(capture->LostBytes(), 0u);
}

TEST_F(PulseServerTest, PlaybackIntoTheNullSinkComesBackOnItsMonitorAndCountsEveryByte)
{
    SelectByName(QStringLiteral("out.monitor"));
    BufferLog log;
    auto capture = OpenCapture(PcmFormat::Pcm16(2, 44100), kStereoFrameBuffer, log);
    ASSERT_TRUE(capture);
    ASSERT_TRUE(capture->Start());

    // A lead-in of silence: when a stream starts, the sink rewinds what it had rendered ahead,
    // and the monitor loses that stretch; it should be silence, not the tone.
    constexpr double kToneHz = 1000.0;
    constexpr double kLeadInSeconds = 0.25;
    auto tone = std::vector<std::int16_t>(std::size_t(2 * 44100 * kLeadInSeconds), 0);
    const auto toneOnly = TestSupport::SinePcm(2, 44100, 1.0, kToneHz);
    tone.insert(tone.end(), toneOnly.begin(), toneOnly.end());
    const auto toneBytes = tone.size() * sizeof(std::int16_t);
    auto playback = m_backend->CreatePlayback();
    ASSERT_TRUE(playback->Open(PcmFormat::Pcm16(2, 44100))) << playback->LastError().toStdString();
    constexpr std::size_t kChunk = 16384;
    std::uint64_t lastPosition = 0;
    for (std::size_t at = 0; at < toneBytes; at += kChunk) {
        const std::size_t piece = std::min(kChunk, toneBytes - at);
        ASSERT_TRUE(playback->Write(reinterpret_cast<const char*>(tone.data()) + at, piece));
        const std::uint64_t position = playback->PlayedBytes();
        EXPECT_GE(position, lastPosition);
        EXPECT_LE(position, playback->WrittenBytes());
        lastPosition = position;
    }
    std::mutex mutex;
    std::condition_variable drainedSignal;
    bool drained = false;
    ASSERT_TRUE(playback->Drain([&] {
        std::lock_guard lock(mutex);
        drained = true;
        drainedSignal.notify_all();
    }));
    {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(drainedSignal.wait_for(lock, kHangGuard, [&] { return drained; }));
    }
    EXPECT_EQ(playback->PlayedBytes(), toneBytes);
    EXPECT_EQ(playback->WrittenBytes(), toneBytes);
    playback->Close();

    // Some silence after the tone, then look at what the monitor heard.
    ASSERT_TRUE(log.WaitForBuffers(log.Count() + 10));
    capture->Close();
    const auto heard = AudioTest::Channel(log.Joined(), 2);
    std::size_t firstLoud = heard.size();
    std::size_t lastLoud = 0;
    for (std::size_t i = 0; i < heard.size(); ++i) {
        if (std::abs(int(heard[i])) > 2000) {
            firstLoud = std::min(firstLoud, i);
            lastLoud = i;
        }
    }
    ASSERT_LT(firstLoud, lastLoud);
    const std::vector<std::int16_t> toneHeard(heard.begin() + std::ptrdiff_t(firstLoud),
                                              heard.begin() + std::ptrdiff_t(lastLoud));
    EXPECT_NEAR(double(toneHeard.size()), 44100.0, 44100.0 * 0.02);
    EXPECT_NEAR(AudioTest::ToneFrequency(toneHeard, 44100), kToneHz, kToneHz * 0.02);
}

TEST_F(PulseServerTest, PausedPlaybackHoldsItsPositionAndFlushStartsAgainFromZero)
{
    auto playback = m_backend->CreatePlayback();
    ASSERT_TRUE(playback->Open(PcmFormat::Pcm16(2, 44100)));
    ASSERT_TRUE(playback->Pause());
    EXPECT_TRUE(playback->IsPaused());
    const auto tone = TestSupport::SinePcm(2, 44100, 0.1, 600.0);
    const auto toneBytes = tone.size() * sizeof(std::int16_t);
    ASSERT_TRUE(playback->Write(tone.data(), toneBytes));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(playback->PlayedBytes(), 0u);

    ASSERT_TRUE(playback->Flush());
    EXPECT_EQ(playback->WrittenBytes(), 0u);
    EXPECT_EQ(playback->PlayedBytes(), 0u);
    EXPECT_TRUE(playback->IsPaused());

    ASSERT_TRUE(playback->Write(tone.data(), toneBytes));
    ASSERT_TRUE(playback->Resume());
    std::atomic<bool> drained{false};
    ASSERT_TRUE(playback->Drain([&] { drained = true; }));
    for (int i = 0; i < 1500 && !drained; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(drained);
    EXPECT_EQ(playback->PlayedBytes(), toneBytes);
    EXPECT_FALSE(playback->Write(tone.data(), 3)); // not whole frames
    playback->Close();
    playback->Close();
    EXPECT_FALSE(playback->IsOpen());
}

TEST_F(PulseServerTest, MixerListsTheServersSourcesInItsOrderWithTheirLevels)
{
    auto mixer = m_backend->CreateRecordMixer();
    std::vector<RecordSource> sources;
    ASSERT_TRUE(mixer->EnumerateSources(sources));
    const auto expected = PactlSources();
    ASSERT_EQ(sources.size(), expected.size());
    QStringList names;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        names << sources[i].name;
        EXPECT_EQ(sources[i].name, expected[i].name);
        EXPECT_EQ(sources[i].description, expected[i].description);
        EXPECT_EQ(sources[i].minimum, RecordMixer::kLevelMinimum);
        EXPECT_EQ(sources[i].maximum, RecordMixer::kLevelMaximum);
        EXPECT_EQ(sources[i].level, RecordMixer::kLevelMaximum);
    }
    EXPECT_EQ(names, kServerSources);

    QStringList descriptions;
    for (const auto& source : expected) {
        descriptions << source.description;
    }
    EXPECT_EQ(mixer->CaptureDeviceNames(), descriptions);
    EXPECT_EQ(mixer->SelectedSource(), names.indexOf(QStringLiteral("sine")));
}

TEST_F(PulseServerTest, SelectingASourceMakesItTheServersDefaultSource)
{
    auto mixer = m_backend->CreateRecordMixer();
    const int pipe = SourceIndex(QStringLiteral("pipe"));
    ASSERT_TRUE(mixer->SelectSource(pipe));
    EXPECT_EQ(Pactl({QStringLiteral("get-default-source")}), QStringLiteral("pipe"));
    EXPECT_EQ(mixer->SelectedSource(), pipe);

    Pactl({QStringLiteral("set-default-source"), QStringLiteral("out.monitor")});
    EXPECT_EQ(mixer->SelectedSource(), SourceIndex(QStringLiteral("out.monitor")));
    EXPECT_FALSE(mixer->SelectSource(static_cast<int>(kServerSources.size())));
    EXPECT_EQ(Pactl({QStringLiteral("get-default-source")}), QStringLiteral("out.monitor"));
}

TEST_F(PulseServerTest, SourceLevelsSetTheFirstAndLastChannelAsPactlShows)
{
    auto mixer = m_backend->CreateRecordMixer();
    const int sine = SourceIndex(QStringLiteral("sine"));
    ASSERT_TRUE(mixer->SetSourceLevel(sine, 32768));
    for (const auto& source : PactlSources()) {
        if (source.name == QStringLiteral("sine")) {
            EXPECT_EQ(source.volumes, std::vector<unsigned>{32769});
        }
    }
    std::vector<RecordSource> sources;
    ASSERT_TRUE(mixer->EnumerateSources(sources));
    EXPECT_EQ(sources[std::size_t(sine)].level, 32768);

    // A stereo source with its channels apart: both are set.
    Pactl({QStringLiteral("set-source-volume"), QStringLiteral("out.monitor"), QStringLiteral("10000"),
           QStringLiteral("20000")});
    const int monitor = SourceIndex(QStringLiteral("out.monitor"));
    ASSERT_TRUE(mixer->EnumerateSources(sources));
    EXPECT_EQ(sources[std::size_t(monitor)].level, 10000); // the first channel, on our scale
    ASSERT_TRUE(mixer->SetSourceLevel(monitor, RecordMixer::kLevelMaximum + 100));
    for (const auto& source : PactlSources()) {
        if (source.name == QStringLiteral("out.monitor")) {
            EXPECT_EQ(source.volumes, (std::vector<unsigned>{65536, 65536}));
        }
    }
}

TEST_F(PulseServerTest, SpeakerVolumeIsSorvanesOwnStreamsNeverTheSink)
{
    // The volume of every sink input of this process, as pactl lists it ("Volume: front-left: N /").
    const auto ourStreamVolumes = [this] {
        QStringList volumes;
        bool ours = false;
        const QString pid = QString::number(QCoreApplication::applicationPid());
        QString pending;
        for (const QString& rawLine : Pactl({QStringLiteral("list"), QStringLiteral("sink-inputs")}).split('\n')) {
            const QString line = rawLine.trimmed();
            if (line.startsWith(QLatin1String("Sink Input #"))) {
                ours = false;
                pending.clear();
            } else if (line.startsWith(QLatin1String("Volume:"))) {
                pending = line.section(QLatin1Char(':'), 2, 2).section(QLatin1Char('/'), 0, 0).trimmed();
            } else if (line == QStringLiteral("application.process.id = \"%1\"").arg(pid)) {
                ours = true;
            }
            if (ours && !pending.isEmpty()) {
                volumes << pending;
                ours = false;
            }
        }
        return volumes;
    };
    auto mixer = m_backend->CreateRecordMixer();
    ASSERT_TRUE(mixer->SetOutputVolume(40000));
    OutputVolume volume;
    ASSERT_TRUE(mixer->ReadOutputVolume(volume));
    EXPECT_EQ(volume.level, 40000);
    EXPECT_EQ(volume.maximum, RecordMixer::kLevelMaximum);

    // A stream opens at the level; a change reaches the open stream; the sink stays at 100 %.
    auto playback = m_backend->CreatePlayback();
    ASSERT_TRUE(playback->Open(PcmFormat::Pcm16(2, 44100)));
    const auto onServer = [](int level) { return QStringList{QString::number(PulseVolume::VolumeFromLevel(level))}; };
    EXPECT_EQ(ourStreamVolumes(), onServer(40000));
    ASSERT_TRUE(mixer->SetOutputVolume(20000));
    EXPECT_EQ(ourStreamVolumes(), onServer(20000));
    const QString sinkVolume = Pactl({QStringLiteral("get-sink-volume"), QStringLiteral("out")});
    EXPECT_TRUE(sinkVolume.contains(QStringLiteral("65536 /"))) << sinkVolume.toStdString();
    playback->Close();
    ASSERT_TRUE(mixer->SetOutputVolume(RecordMixer::kLevelMaximum));
}

TEST_F(PulseServerTest, CloseReleasesAWriterWaitingOnAFullPausedOutput)
{
    auto playback = m_backend->CreatePlayback();
    ASSERT_TRUE(playback->Open(PcmFormat::Pcm16(2, 44100)));
    ASSERT_TRUE(playback->Pause());
    const auto sound = TestSupport::SinePcm(2, 44100, 3.0, 500.0); // far more than the output queues
    std::atomic<bool> writeResult{true};
    std::thread writer([&] { writeResult = playback->Write(sound.data(), sound.size() * sizeof(std::int16_t)); });
    for (int i = 0; i < 1500 && (playback->WrittenBytes() == 0 || playback->WritableBytes() > 0); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_GT(playback->WrittenBytes(), 0u);
    EXPECT_LT(playback->WrittenBytes(), sound.size() * sizeof(std::int16_t));
    playback->Close();
    writer.join();
    EXPECT_FALSE(writeResult);
    EXPECT_FALSE(playback->IsOpen());
}

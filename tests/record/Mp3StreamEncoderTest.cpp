#include "record/Mp3StreamEncoder.h"

#include "FakeLameEnc.h"
#include "Mp3Check.h"
#include "app/RecordSettings.h"
#include "platform/lame_enc/BladeEncApi.h"
#include "platform/lame_enc/InfoTagFrame.h"
#include "record/BufferHandshake.h"
#include "record/MixerState.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <thread>

namespace
{
using Error = CMp3StreamEncoder::Error;

constexpr int kFrameSamplesMpeg1 = 1152;
constexpr int kCaptureBuffers = 5;

// Settings of this test program live in a private Data folder, never the user's.
const bool kPrivateDataFolder = [] {
    static QTemporaryDir dataFolder;
    qputenv("SORVANE_DATA_DIR", dataFolder.path().toLocal8Bit());
    return true;
}();

QString FakeLibraryPath(bool partial = false)
{
    return TestSupport::BinaryDirectory() +
           (partial ? QStringLiteral("/libfake_lame_enc_partial.so") : QStringLiteral("/libfake_lame_enc.so"));
}

// The scripted stand-in library, opened a second time here to read what the encoder told it.
class FakeLibrary
{
public:
    FakeLibrary()
        : m_handle(::dlopen(FakeLibraryPath().toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL))
    {
        if (m_handle != nullptr) {
            reset = Resolve<FakeResetFn>("fakeReset");
            setScript = Resolve<FakeSetScriptFn>("fakeSetScript");
            counts = Resolve<FakeCountsFn>("fakeCounts");
            lastConfig = Resolve<FakeLastConfigFn>("fakeLastConfig");
            encodedFirstSample = Resolve<FakeEncodedFirstSampleFn>("fakeEncodedFirstSample");
            lastSampleCount = Resolve<FakeLastSampleCountFn>("fakeLastSampleCount");
            reset();
        }
        CMp3StreamEncoder::SetLibraryPathOverride(FakeLibraryPath());
    }
    ~FakeLibrary()
    {
        CMp3StreamEncoder::SetLibraryPathOverride({});
        if (m_handle != nullptr) {
            ::dlclose(m_handle);
        }
    }
    FakeLibrary(const FakeLibrary&) = delete;
    FakeLibrary& operator=(const FakeLibrary&) = delete;

    bool Loaded() const { return m_handle != nullptr && reset && counts; }
    void Script(const FakeLameScript& script) { setScript(&script); }

    FakeResetFn reset = nullptr;
    FakeSetScriptFn setScript = nullptr;
    FakeCountsFn counts = nullptr;
    FakeLastConfigFn lastConfig = nullptr;
    FakeEncodedFirstSampleFn encodedFirstSample = nullptr;
    FakeLastSampleCountFn lastSampleCount = nullptr;

private:
    template <typename Function>
    Function Resolve(const char* name)
    {
        return reinterpret_cast<Function>(::dlsym(m_handle, name));
    }
    void* m_handle;
};

FakeLameScript DefaultScript()
{
    return FakeLameScript{0, 4096, 0, 0, 8, 0};
}

// The capture side of a recording, reduced to its hand-off: fill the next buffer, release
// "ready", wait for "consumed", move on in circular order.
class FakeCapture
{
public:
    explicit FakeCapture(CMp3StreamEncoder& encoder)
        : m_encoder(encoder)
        , m_chunkBytes(std::size_t(encoder.ChunkBytes()))
    {
        for (int i = 0; i < kCaptureBuffers; ++i) {
            m_storage[std::size_t(i)].assign(m_chunkBytes, 0);
            m_buffers[std::size_t(i)] = m_storage[std::size_t(i)].data();
        }
        encoder.SetHandshake(&m_handshake);
        encoder.SetBufferCount(kCaptureBuffers);
        encoder.SetBuffers(m_buffers.data());
    }

    void Deliver(const std::int16_t* samples)
    {
        if (m_stopping) {
            return;
        }
        std::memcpy(m_buffers[m_index], samples, m_chunkBytes);
        m_handshake.Ready().Release();
        m_handshake.Consumed().Acquire();
        m_index = (m_index + 1) % kCaptureBuffers;
        ++m_delivered;
    }

    // The engine's stop order: no more buffers, free a blocked hand-off, stop the encoder.
    void Stop()
    {
        m_stopping = true;
        m_handshake.Consumed().Release(m_handshake.MaximumCount());
        m_encoder.StopThread();
    }

    int Delivered() const { return m_delivered; }
    bool Stopping() const { return m_stopping; }

private:
    CMp3StreamEncoder& m_encoder;
    std::size_t m_chunkBytes;
    CBufferHandshake m_handshake{kCaptureBuffers};
    std::array<std::vector<std::uint8_t>, kCaptureBuffers> m_storage;
    std::array<std::uint8_t*, kCaptureBuffers> m_buffers{};
    std::size_t m_index = 0;
    std::atomic<int> m_delivered{0};
    std::atomic<bool> m_stopping{false};
};

class Mp3StreamEncoderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        CMp3StreamEncoder::SetLibraryPathOverride({});
    }
    QString OutputPath(const QString& name) const { return m_dir.filePath(name); }

    // Direct use as the conversions do it: whole chunks, then the shorter rest as the last.
    static bool EncodeDirect(CMp3StreamEncoder& encoder, const std::vector<std::int16_t>& pcm)
    {
        const std::size_t chunkSamples = std::size_t(encoder.ChunkBytes()) / 2;
        std::vector<std::int16_t> chunk(chunkSamples);
        for (std::size_t offset = 0; offset < pcm.size(); offset += chunkSamples) {
            const std::size_t count = std::min(chunkSamples, pcm.size() - offset);
            std::fill(std::copy_n(pcm.begin() + std::ptrdiff_t(offset), count, chunk.begin()), chunk.end(), 0);
            const int written = count < chunkSamples ? encoder.EncodeLastChunk(chunk.data(), int(count * 2))
                                                     : encoder.EncodeChunk(chunk.data());
            if (written <= 0 && encoder.LastError() != Error::None) {
                return false;
            }
        }
        return encoder.Finish();
    }

    // The file decodes in the peer tools with this rate and channel count, in plain stereo or
    // mono, to exactly the samples given: its tag frame tells them what to trim.
    static void ExpectPlays(const QString& path, int rate, int channels, long long samplesPerChannel)
    {
        const Mp3Check::StreamSummary summary = Mp3Check::Walk(TestSupport::ReadAll(path));
        EXPECT_TRUE(summary.contiguous);
        EXPECT_TRUE(summary.hasHeaderTag);
        EXPECT_EQ(summary.sampleRates, std::set<int>{rate});
        EXPECT_EQ(summary.channelModes, std::set<int>{channels == 1 ? 3 : 0});
        const Mp3Check::Decoded decoded = Mp3Check::Decode(path, channels);
        ASSERT_TRUE(decoded.ok);
        EXPECT_EQ(decoded.ffprobeRate, QString::number(rate));
        EXPECT_EQ(decoded.ffprobeChannels, QString::number(channels));
        EXPECT_EQ(decoded.samplesPerChannel, samplesPerChannel) << "mpg123";
        EXPECT_EQ(decoded.ffmpegSamplesPerChannel, samplesPerChannel) << "ffmpeg";
    }

    QTemporaryDir m_dir;
};

TEST_F(Mp3StreamEncoderTest, ConfigurationRecordIsFilledByteForByte)
{
    FakeLibrary fake;
    ASSERT_TRUE(fake.Loaded());
    struct Case
    {
        int channels;
        std::uint32_t rate;
        int kbps;
        std::uint8_t mode;
        int vbr;
    };
    for (const Case& c : {Case{2, 44100, 160, 0, -1}, Case{1, 8000, 8, 3, -1}, Case{2, 48000, 0, 0, 2}}) {
        CMp3StreamEncoder encoder;
        encoder.SetFormat(RecordFormat::Pcm16(std::uint16_t(c.channels), c.rate));
        encoder.SetOutputPath(OutputPath(QStringLiteral("record.mp3")));
        encoder.SetBitrate(c.kbps);
        encoder.SetVbrQuality(c.vbr);
        ASSERT_TRUE(encoder.Open(0));

        std::array<std::uint8_t, 331> expected{};
        auto put = [&expected](std::size_t offset, std::uint32_t value) {
            for (std::size_t i = 0; i < 4; ++i) {
                expected[offset + i] = std::uint8_t(value >> (8 * i));
            }
        };
        put(0, 256); // LAME configuration
        put(4, 1);   // structure version
        put(8, 331); // structure size
        put(12, c.rate);
        put(16, 0); // resample: keep the input rate
        put(20, c.mode);
        put(24, std::uint32_t(c.kbps));
        put(36, 1); // MPEG-1
        put(60, 1); // original
        put(64, 1); // write VBR header
        put(84, 1); // no bit reservoir
        if (c.vbr >= 0) {
            put(68, 1); // VBR on
            put(72, std::uint32_t(c.vbr));
            put(80, 2); // the new VBR method
        }
        std::array<std::uint8_t, 331> actual{};
        fake.lastConfig(actual.data());
        for (std::size_t offset = 0; offset < expected.size(); ++offset) {
            EXPECT_EQ(actual[offset], expected[offset]) << "byte " << offset;
        }
        EXPECT_TRUE(encoder.Finish());
    }
}

TEST_F(Mp3StreamEncoderTest, BitRateComesFromTheSettingsAndFallsBackToAnAllowedOne)
{
    constexpr int kIndexOf144 = 12;
    CRecordSettings::Instance().SetBitrateIndex(kIndexOf144);
    CMp3StreamEncoder encoder;
    EXPECT_EQ(encoder.Bitrate(), 144);

    encoder.SetFormat(RecordFormat::Pcm16(2, 44100));
    encoder.SetOutputPath(OutputPath(QStringLiteral("fallback.mp3")));
    ASSERT_TRUE(encoder.Open(0));
    ASSERT_TRUE(EncodeDirect(encoder, TestSupport::SinePcm(2, 44100, 0.3, 440.0)));
    EXPECT_EQ(Mp3Check::Walk(TestSupport::ReadAll(encoder.OutputPath())).bitrates, std::set<int>{128});

    // A VBR level in the settings reaches the encoder; a bit rate set later replaces it.
    constexpr int kIndexOfV3 = 21;
    CRecordSettings::Instance().SetBitrateIndex(kIndexOfV3);
    CMp3StreamEncoder vbrEncoder;
    EXPECT_EQ(vbrEncoder.VbrQuality(), 3);
    vbrEncoder.SetBitrate(96);
    EXPECT_EQ(vbrEncoder.VbrQuality(), BitrateChoice::kNoVbr);
    CRecordSettings::Instance().SetBitrateIndex(CRecordSettings::kDefaultBitrateIndex);
}

TEST_F(Mp3StreamEncoderTest, EveryRecordFormatEncodesToAPlayableFile)
{
    constexpr double kSeconds = 0.4;
    for (std::uint32_t rate : SampleRateTable) {
        for (int channels : {1, 2}) {
            SCOPED_TRACE(QStringLiteral("%1 Hz, %2 channels").arg(rate).arg(channels).toStdString());
            CMp3StreamEncoder encoder;
            encoder.SetFormat(RecordFormat::Pcm16(std::uint16_t(channels), rate));
            encoder.SetOutputPath(OutputPath(QStringLiteral("format%1-%2.mp3").arg(rate).arg(channels)));
            encoder.SetBitrate(32);
            ASSERT_TRUE(encoder.Open(0));
            // From its opening on, the file holds the reserved tag frame and nothing else.
            const QByteArray opened = TestSupport::ReadAll(encoder.OutputPath());
            InfoTagFacts reserved;
            std::size_t reservedBytes = 0;
            ASSERT_TRUE(InfoTagFrame::Parse(reinterpret_cast<const std::uint8_t*>(opened.constData()),
                                            std::size_t(opened.size()), reserved, &reservedBytes));
            EXPECT_TRUE(reserved.placeholder);
            EXPECT_EQ(std::size_t(opened.size()), reservedBytes);
            // One MPEG frame of input: 1152 samples per channel from 32 kHz up, 576 below.
            const int frameSamples = rate >= 32000 ? 1152 : 576;
            EXPECT_EQ(encoder.ChunkBytes(), frameSamples * channels * 2);
            const std::vector<std::int16_t> pcm = TestSupport::SinePcm(channels, int(rate), kSeconds, 440.0);
            ASSERT_TRUE(EncodeDirect(encoder, pcm));
            ExpectPlays(encoder.OutputPath(), int(rate), channels, static_cast<long long>(pcm.size()) / channels);
        }
    }
}

TEST_F(Mp3StreamEncoderTest, ChunkOverrideGrowsTheOutputBuffer)
{
    CMp3StreamEncoder natural;
    natural.SetFormat(RecordFormat::Pcm16(2, 44100));
    natural.SetOutputPath(OutputPath(QStringLiteral("natural.mp3")));
    ASSERT_TRUE(natural.Open(0));
    EXPECT_EQ(natural.ChunkBytes(), 4608);
    const int naturalOutput = natural.OutputBufferSize();
    natural.Finish();

    CMp3StreamEncoder same;
    same.SetFormat(RecordFormat::Pcm16(2, 44100));
    same.SetOutputPath(OutputPath(QStringLiteral("same.mp3")));
    ASSERT_TRUE(same.Open(4608));
    EXPECT_EQ(same.ChunkBytes(), 4608);
    EXPECT_EQ(same.OutputBufferSize(), naturalOutput);
    same.Finish();

    CMp3StreamEncoder overridden;
    overridden.SetFormat(RecordFormat::Pcm16(2, 44100));
    overridden.SetOutputPath(OutputPath(QStringLiteral("override.mp3")));
    ASSERT_TRUE(overridden.Open(8192));
    EXPECT_EQ(overridden.ChunkBytes(), 8192);
    EXPECT_EQ(overridden.OutputBufferSize(), naturalOutput * 2);
    const std::vector<std::int16_t> pcm = TestSupport::SinePcm(2, 44100, 0.5, 440.0);
    ASSERT_TRUE(EncodeDirect(overridden, pcm));
    ExpectPlays(overridden.OutputPath(), 44100, 2, static_cast<long long>(pcm.size()) / 2);
}

TEST_F(Mp3StreamEncoderTest, MissingLibraryIsReportedCleanly)
{
    for (const QString& library :
         {m_dir.filePath(QStringLiteral("no-such-liblame_enc.so")), FakeLibraryPath(/*partial=*/true)}) {
        SCOPED_TRACE(library.toStdString());
        CMp3StreamEncoder::SetLibraryPathOverride(library);
        CMp3StreamEncoder encoder;
        encoder.SetOutputPath(OutputPath(QStringLiteral("never.mp3")));
        EXPECT_FALSE(encoder.Open(0));
        EXPECT_EQ(encoder.LastError(), Error::LibraryMissing);
        EXPECT_EQ(CMp3StreamEncoder::ErrorText(encoder.LastError()),
                  QStringLiteral("the MP3 encoder library is missing"));
        EXPECT_EQ(encoder.ChunkBytes(), 0);
        EXPECT_FALSE(QFileInfo::exists(encoder.OutputPath()));
        std::vector<std::int16_t> chunk(4608);
        EXPECT_EQ(encoder.EncodeChunk(chunk.data()), 0);
        EXPECT_TRUE(encoder.Finish());
    }
    CMp3StreamEncoder::SetLibraryPathOverride({});
}

TEST_F(Mp3StreamEncoderTest, FailuresLeaveNoStreamOpenAndFinishReportsThem)
{
    FakeLibrary fake;
    ASSERT_TRUE(fake.Loaded());

    // The output cannot be created: the stream just opened is closed again.
    {
        CMp3StreamEncoder encoder;
        encoder.SetOutputPath(OutputPath(QStringLiteral("missing-folder/out.mp3")));
        EXPECT_FALSE(encoder.Open(0));
        EXPECT_EQ(encoder.LastError(), Error::OutputNotCreated);
        EXPECT_EQ(fake.counts().inits, 1);
        EXPECT_EQ(fake.counts().closes, 1);
        EXPECT_TRUE(encoder.Finish());
    }

    // The encoder refuses the stream.
    fake.reset();
    FakeLameScript refusing = DefaultScript();
    refusing.initResult = kBeInvalidParameters;
    fake.Script(refusing);
    {
        CMp3StreamEncoder encoder;
        encoder.SetOutputPath(OutputPath(QStringLiteral("refused.mp3")));
        EXPECT_FALSE(encoder.Open(0));
        EXPECT_EQ(encoder.LastError(), Error::EncoderRefused);
        EXPECT_FALSE(QFileInfo::exists(encoder.OutputPath()));
    }

    // A mid-stream encoder error ends encoding for the stream; what was written stays and
    // Finish closes the file without calling the library again.
    fake.reset();
    FakeLameScript failing = DefaultScript();
    failing.failAtEncode = 3;
    fake.Script(failing);
    {
        CMp3StreamEncoder encoder;
        encoder.SetOutputPath(OutputPath(QStringLiteral("midstream.mp3")));
        ASSERT_TRUE(encoder.Open(0));
        std::vector<std::int16_t> chunk(std::size_t(encoder.ChunkBytes()) / 2, 100);
        EXPECT_EQ(encoder.EncodeChunk(chunk.data()), 8);
        EXPECT_EQ(encoder.EncodeChunk(chunk.data()), 8);
        EXPECT_EQ(encoder.EncodeChunk(chunk.data()), 0);
        EXPECT_EQ(encoder.LastError(), Error::EncoderRefused);
        EXPECT_EQ(encoder.EncodeChunk(chunk.data()), 0);
        EXPECT_EQ(fake.counts().encodes, 3);
        EXPECT_EQ(fake.counts().closes, 1);
        EXPECT_TRUE(encoder.Finish());
        EXPECT_EQ(fake.counts().deinits, 0);
        EXPECT_EQ(TestSupport::ReadAll(encoder.OutputPath()), QByteArray(16, 'M'));
    }

    // A full disk: the stream is closed at the first short write and Finish fails.
    fake.reset();
    FakeLameScript large = DefaultScript();
    large.bytesPerEncode = 3000;
    fake.Script(large);
    {
        CMp3StreamEncoder encoder;
        encoder.SetOutputPath(QStringLiteral("/dev/full"));
        ASSERT_TRUE(encoder.Open(0));
        std::vector<std::int16_t> chunk(std::size_t(encoder.ChunkBytes()) / 2, 100);
        int calls = 0;
        while (encoder.LastError() == Error::None && calls < 100) {
            encoder.EncodeChunk(chunk.data());
            ++calls;
        }
        EXPECT_EQ(encoder.LastError(), Error::WriteFailed);
        EXPECT_EQ(fake.counts().encodes, calls);
        EXPECT_EQ(fake.counts().closes, 1);
        EXPECT_EQ(encoder.EncodeChunk(chunk.data()), 0);
        EXPECT_EQ(fake.counts().encodes, calls);
        EXPECT_FALSE(encoder.Finish());
        EXPECT_EQ(fake.counts().deinits, 0);
    }

    // Never opened at all.
    CMp3StreamEncoder idle;
    EXPECT_TRUE(idle.Finish());
}

TEST_F(Mp3StreamEncoderTest, ShortWriteKeepsAPlayableFile)
{
    // A file size limit stands in for a disk that fills up half-way.
    constexpr rlim_t kRoomBytes = 20000;
    CMp3StreamEncoder encoder;
    encoder.SetFormat(RecordFormat::Pcm16(2, 44100));
    encoder.SetOutputPath(OutputPath(QStringLiteral("full.mp3")));
    ASSERT_TRUE(encoder.Open(0));

    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = previous;
    limited.rlim_cur = kRoomBytes;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const bool finished = EncodeDirect(encoder, TestSupport::SinePcm(2, 44100, 3.0, 440.0));
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_FALSE(finished);
    EXPECT_EQ(encoder.LastError(), Error::WriteFailed);
    EXPECT_EQ(QFileInfo(encoder.OutputPath()).size(), qint64(kRoomBytes));
    const Mp3Check::Decoded decoded = Mp3Check::Decode(encoder.OutputPath(), 2);
    EXPECT_TRUE(decoded.ok);
    EXPECT_GT(decoded.samplesPerChannel, 44100 / 2);
}

TEST_F(Mp3StreamEncoderTest, ThreadedRecordingDropsPausedBuffersAndSkipsLeadingSilence)
{
    CRecordSettings& settings = CRecordSettings::Instance();
    MixerState::selectedLevel = MixerState::kDefaultSelectedLevel;

    enum class Kind
    {
        Loud,
        Silent,
        Paused
    };
    struct Case
    {
        const char* name;
        bool skipSilence;
        bool detector;
        std::vector<std::pair<Kind, int>> buffers;
        int expectedChunks;
    };
    const std::vector<Case> cases = {
        {"pause", false, true, {{Kind::Loud, 6}, {Kind::Paused, 10}, {Kind::Loud, 6}}, 12},
        {"skip", true, true, {{Kind::Silent, 8}, {Kind::Loud, 1}, {Kind::Silent, 4}, {Kind::Loud, 3}}, 8},
        {"skip off", false, true, {{Kind::Silent, 8}, {Kind::Loud, 2}}, 10},
        {"detector off", true, false, {{Kind::Silent, 8}, {Kind::Loud, 2}}, 10},
    };
    // The peer tools run once every encode thread has ended: Qt spawns them in a way the thread
    // sanitizer cannot follow, which would otherwise blur its view of the handshake.
    std::vector<std::pair<QString, int>> produced;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        settings.SetSkipSilentPassages(c.skipSilence);
        settings.SetSilenceDetectorEnabled(c.detector);
        CMp3StreamEncoder encoder;
        encoder.SetFormat(RecordFormat::Pcm16(2, 44100));
        encoder.SetOutputPath(OutputPath(QStringLiteral("%1.mp3").arg(QLatin1String(c.name))));
        ASSERT_TRUE(encoder.Open(0));
        FakeCapture capture(encoder);
        ASSERT_TRUE(encoder.StartThread());

        const std::size_t chunkSamples = std::size_t(encoder.ChunkBytes()) / 2;
        std::vector<std::int16_t> loud = TestSupport::SinePcm(2, 44100, 0.1, 441.0);
        loud.resize(chunkSamples);
        const std::vector<std::int16_t> silent(chunkSamples, 0);
        for (const auto& [kind, count] : c.buffers) {
            encoder.SetPaused(kind == Kind::Paused);
            for (int i = 0; i < count; ++i) {
                capture.Deliver(kind == Kind::Silent ? silent.data() : loud.data());
            }
        }
        capture.Stop();
        EXPECT_EQ(encoder.LastError(), Error::None);
        produced.emplace_back(encoder.OutputPath(), c.expectedChunks);
    }
    for (const auto& [path, chunks] : produced) {
        SCOPED_TRACE(path.toStdString());
        ExpectPlays(path, 44100, 2, static_cast<long long>(chunks) * kFrameSamplesMpeg1);
    }
}

TEST_F(Mp3StreamEncoderTest, StopWhileTheEncodeThreadIsSlowNeverDeadlocks)
{
    FakeLibrary fake;
    ASSERT_TRUE(fake.Loaded());
    FakeLameScript slow = DefaultScript();
    slow.encodeDelayMilliseconds = 20;
    fake.Script(slow);
    CRecordSettings::Instance().SetSkipSilentPassages(false);

    CMp3StreamEncoder encoder;
    encoder.SetOutputPath(OutputPath(QStringLiteral("slow.mp3")));
    ASSERT_TRUE(encoder.Open(0));
    FakeCapture capture(encoder);
    ASSERT_TRUE(encoder.StartThread());

    // A hang here would stall the whole run; end the program instead so the failure shows.
    std::atomic<bool> finished{false};
    std::thread watchdog([&finished] {
        for (int i = 0; i < 300 && !finished; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        if (!finished) {
            std::fputs("deadlock: stop did not return\n", stderr);
            std::_Exit(EXIT_FAILURE);
        }
    });
    std::thread captureThread([&capture, &encoder] {
        std::vector<std::int16_t> chunk(std::size_t(encoder.ChunkBytes()) / 2);
        for (std::int16_t sequence = 0; sequence < 1000 && !capture.Stopping(); ++sequence) {
            std::fill(chunk.begin(), chunk.end(), sequence);
            capture.Deliver(chunk.data());
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    capture.Stop();
    captureThread.join();
    finished = true;
    watchdog.join();

    // Buffers went through in circular order, each once, none repeated by the stop wake-up.
    const int encodes = fake.counts().encodes;
    EXPECT_GT(encodes, 0);
    EXPECT_LE(encodes, capture.Delivered());
    for (int i = 0; i < encodes; ++i) {
        EXPECT_EQ(fake.encodedFirstSample(i), i);
    }
    EXPECT_EQ(fake.lastSampleCount(), std::uint32_t(encoder.ChunkBytes() / 2));
    EXPECT_EQ(fake.counts().deinits, 1);
    EXPECT_EQ(fake.counts().closes, 1);
    EXPECT_EQ(TestSupport::ReadAll(encoder.OutputPath()), QByteArray(8 * encodes, 'M') + "END!");
}

TEST_F(Mp3StreamEncoderTest, ReopenAndDestroyFinishTheEarlierFile)
{
    FakeLibrary fake;
    ASSERT_TRUE(fake.Loaded());
    {
        CMp3StreamEncoder encoder;
        encoder.SetOutputPath(OutputPath(QStringLiteral("first.mp3")));
        ASSERT_TRUE(encoder.Open(0));
        std::vector<std::int16_t> chunk(std::size_t(encoder.ChunkBytes()) / 2);
        encoder.EncodeChunk(chunk.data());
        encoder.SetOutputPath(OutputPath(QStringLiteral("second.mp3")));
        ASSERT_TRUE(encoder.Open(0));
        encoder.EncodeChunk(chunk.data());
        // No Finish: destruction must not lose the last frames.
    }
    EXPECT_EQ(TestSupport::ReadAll(OutputPath(QStringLiteral("first.mp3"))), QByteArray(8, 'M') + "END!");
    EXPECT_EQ(TestSupport::ReadAll(OutputPath(QStringLiteral("second.mp3"))), QByteArray(8, 'M') + "END!");
    EXPECT_EQ(fake.counts().inits, 2);
    EXPECT_EQ(fake.counts().closes, 2);
}
} // namespace

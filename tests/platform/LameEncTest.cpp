#include "Mp3Check.h"
#include "platform/lame_enc/BladeEncApi.h"
#include "support/TestSupport.h"

#include <QTemporaryDir>
#include <array>
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace
{
constexpr int kLayer3FrameMpeg1 = 1152;
constexpr int kLayer3FrameLowRates = 576;
// Encoder delay, flush padding and the frame the last samples start: a few frames at most.
constexpr int kDurationToleranceFrames = 4;

// The library as Sorvane uses it: loaded by name at run time from beside the programs.
class LameEncLibrary
{
public:
    LameEncLibrary()
        : m_handle(::dlopen((TestSupport::BinaryDirectory() + "/liblame_enc.so").toLocal8Bit().constData(),
                            RTLD_NOW | RTLD_LOCAL))
    {
        if (m_handle == nullptr) {
            return;
        }
        init = Resolve<BeInitStreamFn>("beInitStream");
        encode = Resolve<BeEncodeChunkFn>("beEncodeChunk");
        deinit = Resolve<BeDeinitStreamFn>("beDeinitStream");
        close = Resolve<BeCloseStreamFn>("beCloseStream");
        version = Resolve<BeVersionFn>("beVersion");
        writeVbrHeader = Resolve<BeWriteVbrHeaderFn>("beWriteVBRHeader");
        writeInfoTag = Resolve<BeWriteInfoTagFn>("beWriteInfoTag");
    }
    ~LameEncLibrary()
    {
        if (m_handle != nullptr) {
            ::dlclose(m_handle);
        }
    }
    LameEncLibrary(const LameEncLibrary&) = delete;
    LameEncLibrary& operator=(const LameEncLibrary&) = delete;

    bool Complete() const { return init && encode && deinit && close && version && writeVbrHeader && writeInfoTag; }

    BeInitStreamFn init = nullptr;
    BeEncodeChunkFn encode = nullptr;
    BeDeinitStreamFn deinit = nullptr;
    BeCloseStreamFn close = nullptr;
    BeVersionFn version = nullptr;
    BeWriteVbrHeaderFn writeVbrHeader = nullptr;
    BeWriteInfoTagFn writeInfoTag = nullptr;

private:
    template <typename Function>
    Function Resolve(const char* name)
    {
        return reinterpret_cast<Function>(::dlsym(m_handle, name));
    }
    void* m_handle;
};

// Written here by hand, offset by offset, rather than with the wrapper's own code.
struct Record
{
    std::array<std::uint8_t, 331> bytes{};

    Record(int sampleRate, int channels, int kbps)
    {
        Put(0, 256);
        Put(4, 1);
        Put(8, 331);
        Put(12, sampleRate);
        Put(20, channels == 1 ? 3 : 0);
        Put(24, kbps);
        Put(36, 1);
        Put(60, 1);
        Put(64, 1);
        Put(84, 1);
    }
    void Put(int offset, std::uint32_t value)
    {
        for (int i = 0; i < 4; ++i) {
            bytes[std::size_t(offset + i)] = std::uint8_t(value >> (8 * i));
        }
    }
};

class LameEncTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(m_library.Complete()) << "liblame_enc.so not found beside the test";
    }

    // Encodes pcm in calls of `piece` samples (0 = the chunk the library asks for) and writes
    // the stream to a file. The output buffer is exactly as large as the contract requires,
    // followed by guard bytes that must stay untouched.
    QString Encode(const Record& record, const std::vector<std::int16_t>& pcm, std::uint32_t piece = 0,
                   std::uint32_t* samplesPerChunkOut = nullptr, std::uint32_t* outputSizeOut = nullptr)
    {
        std::uint32_t samplesPerChunk = 0;
        std::uint32_t outputSize = 0;
        BeStreamHandle stream = 0;
        EXPECT_EQ(m_library.init(record.bytes.data(), &samplesPerChunk, &outputSize, &stream), kBeOk);
        if (samplesPerChunkOut != nullptr) {
            *samplesPerChunkOut = samplesPerChunk;
        }
        if (outputSizeOut != nullptr) {
            *outputSizeOut = outputSize;
        }
        if (stream == 0) {
            return {};
        }
        const std::uint32_t step = piece == 0 ? samplesPerChunk : piece;
        constexpr std::size_t kGuardBytes = 64;
        constexpr std::uint8_t kGuard = 0xA5;
        const std::size_t capacity = std::size_t(outputSize) * (step / samplesPerChunk + 1);
        std::vector<std::uint8_t> output(capacity + kGuardBytes, kGuard);
        QByteArray mp3;
        for (std::size_t offset = 0; offset < pcm.size(); offset += step) {
            const auto count = std::uint32_t(std::min<std::size_t>(step, pcm.size() - offset));
            std::uint32_t produced = 0;
            EXPECT_EQ(m_library.encode(stream, count, pcm.data() + offset, output.data(), &produced), kBeOk);
            EXPECT_LE(produced, capacity);
            mp3.append(reinterpret_cast<const char*>(output.data()), produced);
        }
        std::uint32_t produced = 0;
        EXPECT_EQ(m_library.deinit(stream, output.data(), &produced), kBeOk);
        EXPECT_LE(produced, outputSize);
        mp3.append(reinterpret_cast<const char*>(output.data()), produced);
        EXPECT_EQ(m_library.close(stream), kBeOk);
        for (std::size_t i = capacity; i < output.size(); ++i) {
            EXPECT_EQ(output[i], kGuard) << "output buffer overrun";
        }
        const QString path = m_dir.filePath(QStringLiteral("out%1.mp3").arg(++m_fileCount));
        EXPECT_TRUE(TestSupport::WriteAll(path, mp3));
        return path;
    }

    QTemporaryDir m_dir;
    LameEncLibrary m_library;
    int m_fileCount = 0;
};

TEST_F(LameEncTest, EveryRecordRateInMonoAndStereoPlaysWithPlainStereoOrMono)
{
    constexpr std::array<int, 4> kRates = {8000, 11025, 22050, 44100};
    constexpr double kSeconds = 0.6;
    constexpr int kBitrate = 32; // allowed at every rate
    for (int rate : kRates) {
        for (int channels : {1, 2}) {
            SCOPED_TRACE(QStringLiteral("%1 Hz, %2 channels").arg(rate).arg(channels).toStdString());
            const std::vector<std::int16_t> pcm = TestSupport::SinePcm(channels, rate, kSeconds, 440.0);
            std::uint32_t samplesPerChunk = 0;
            std::uint32_t outputSize = 0;
            const QString path = Encode(Record(rate, channels, kBitrate), pcm, 0, &samplesPerChunk, &outputSize);
            const int frameSamples = rate >= 32000 ? kLayer3FrameMpeg1 : kLayer3FrameLowRates;
            EXPECT_EQ(samplesPerChunk, std::uint32_t(frameSamples * channels));
            EXPECT_GE(outputSize, std::uint32_t(frameSamples * 5 / 4 + 7200));

            const Mp3Check::StreamSummary summary = Mp3Check::Walk(TestSupport::ReadAll(path));
            EXPECT_TRUE(summary.contiguous);
            EXPECT_FALSE(summary.hasHeaderTag) << "no placeholder header frame may be left in the stream";
            EXPECT_EQ(summary.sampleRates, std::set<int>{rate});
            EXPECT_EQ(summary.channelModes, std::set<int>{channels == 1 ? 3 : 0});
            EXPECT_EQ(summary.bitrates, std::set<int>{kBitrate});
            EXPECT_EQ(summary.mainDataBegins, std::set<int>{0}) << "bit reservoir must be off";
            EXPECT_TRUE(summary.first.original);

            const Mp3Check::Decoded decoded = Mp3Check::Decode(path, channels);
            ASSERT_TRUE(decoded.ok);
            EXPECT_EQ(decoded.ffprobeRate, QString::number(rate));
            EXPECT_EQ(decoded.ffprobeChannels, QString::number(channels));
            const long long input = static_cast<long long>(pcm.size()) / channels;
            EXPECT_GE(decoded.samplesPerChannel, input);
            EXPECT_LE(decoded.samplesPerChannel, input + kDurationToleranceFrames * frameSamples);
        }
    }
}

TEST_F(LameEncTest, BitRateFallsBackToTheNearestAllowedAtThatRate)
{
    struct Case
    {
        int rate;
        int requested;
        int expected;
    };
    constexpr std::array<Case, 7> kCases = {{{44100, 8, 32},
                                             {44100, 144, 128},
                                             {44100, 160, 160},
                                             {22050, 144, 144},
                                             {22050, 8, 8},
                                             {8000, 160, 64},
                                             {11025, 80, 64}}};
    for (const Case& c : kCases) {
        SCOPED_TRACE(QStringLiteral("%1 Hz at %2 kbps").arg(c.rate).arg(c.requested).toStdString());
        const QString path = Encode(Record(c.rate, 2, c.requested), TestSupport::SinePcm(2, c.rate, 0.2, 440.0));
        EXPECT_EQ(Mp3Check::Walk(TestSupport::ReadAll(path)).bitrates, std::set<int>{c.expected});
    }
}

TEST_F(LameEncTest, HeaderFlagsComeFromTheirOffsetsAndBadRecordsAreRefused)
{
    Record record(44100, 2, 128);
    record.Put(20, 1); // joint stereo
    record.Put(48, 1); // private bit
    record.Put(52, 1); // CRC
    record.Put(56, 1); // copyright
    record.Put(60, 0); // not original
    record.Put(84, 0); // bit reservoir allowed
    const Mp3Check::StreamSummary summary =
        Mp3Check::Walk(TestSupport::ReadAll(Encode(record, TestSupport::SinePcm(2, 44100, 0.3, 440.0))));
    EXPECT_EQ(summary.channelModes, std::set<int>{1});
    EXPECT_TRUE(summary.first.privateBit);
    EXPECT_TRUE(summary.first.crcProtected);
    EXPECT_TRUE(summary.first.copyright);
    EXPECT_FALSE(summary.first.original);

    struct Refusal
    {
        int offset;
        std::uint32_t value;
        BeError expected;
    };
    constexpr std::array<Refusal, 7> kRefusals = {{{0, 255, kBeInvalidConfig},
                                                   {4, 0, kBeInvalidConfig},
                                                   {8, 40, kBeInvalidConfig},
                                                   {12, 0, kBeInvalidParameters},
                                                   {16, 12345, kBeInvalidParameters},
                                                   {20, 4, kBeInvalidParameters},
                                                   {68, 1, kBeInvalidParameters}}};
    for (const Refusal& refusal : kRefusals) {
        Record bad(44100, 2, 128);
        bad.Put(refusal.offset, refusal.value);
        std::uint32_t samples = 0;
        std::uint32_t size = 0;
        BeStreamHandle stream = 77;
        EXPECT_EQ(m_library.init(bad.bytes.data(), &samples, &size, &stream), refusal.expected)
            << "offset " << refusal.offset;
        EXPECT_EQ(stream, 0u);
    }
    std::uint32_t samples = 0;
    EXPECT_EQ(m_library.init(nullptr, &samples, &samples, nullptr), kBeInvalidParameters);
}

TEST_F(LameEncTest, AnySampleCountIsConsumedWhole)
{
    const std::vector<std::int16_t> pcm = TestSupport::SinePcm(2, 44100, 0.5, 1000.0);
    const long long input = static_cast<long long>(pcm.size()) / 2;
    // Odd counts split stereo frames between calls; large ones span several chunks.
    for (std::uint32_t piece : {1u, 7u, 4095u, 8192u, 20001u}) {
        SCOPED_TRACE(piece);
        const QString path = Encode(Record(44100, 2, 160), pcm, piece);
        EXPECT_TRUE(Mp3Check::Walk(TestSupport::ReadAll(path)).contiguous);
        const Mp3Check::Decoded decoded = Mp3Check::Decode(path, 2);
        ASSERT_TRUE(decoded.ok);
        EXPECT_GE(decoded.samplesPerChannel, input);
        EXPECT_LE(decoded.samplesPerChannel, input + kDurationToleranceFrames * kLayer3FrameMpeg1);
    }
}

TEST_F(LameEncTest, HandlesAreCheckedAndStreamsEndOnce)
{
    std::vector<std::uint8_t> output(16384);
    std::vector<std::int16_t> pcm(2304);
    std::uint32_t produced = 99;
    EXPECT_EQ(m_library.encode(0, 2304, pcm.data(), output.data(), &produced), kBeInvalidHandle);
    EXPECT_EQ(produced, 0u);
    EXPECT_EQ(m_library.encode(123456, 2304, pcm.data(), output.data(), &produced), kBeInvalidHandle);
    EXPECT_EQ(m_library.close(0), kBeInvalidHandle);

    const Record record(44100, 2, 160);
    std::uint32_t samples = 0;
    std::uint32_t size = 0;
    BeStreamHandle first = 0;
    BeStreamHandle second = 0;
    ASSERT_EQ(m_library.init(record.bytes.data(), &samples, &size, &first), kBeOk);
    ASSERT_EQ(m_library.init(record.bytes.data(), &samples, &size, &second), kBeOk);
    EXPECT_NE(first, second);
    EXPECT_EQ(m_library.deinit(first, output.data(), &produced), kBeOk);
    EXPECT_NE(m_library.deinit(first, output.data(), &produced), kBeOk) << "flushed twice";
    EXPECT_NE(m_library.encode(first, 2304, pcm.data(), output.data(), &produced), kBeOk) << "encode after flush";
    EXPECT_EQ(m_library.close(first), kBeOk);
    EXPECT_EQ(m_library.close(first), kBeInvalidHandle);
    EXPECT_EQ(m_library.encode(second, 2304, pcm.data(), output.data(), &produced), kBeOk)
        << "closing one stream leaves the other";

    // The header calls leave a finished file as it is; the info-tag call also ends the stream.
    const QString path = Encode(record, TestSupport::SinePcm(2, 44100, 0.2, 440.0));
    const QByteArray before = TestSupport::ReadAll(path);
    EXPECT_EQ(m_library.writeVbrHeader(path.toLocal8Bit().constData()), kBeOk);
    EXPECT_EQ(m_library.writeInfoTag(second, path.toLocal8Bit().constData()), kBeOk);
    EXPECT_EQ(TestSupport::ReadAll(path), before);
    EXPECT_EQ(m_library.close(second), kBeInvalidHandle);
    EXPECT_EQ(m_library.writeVbrHeader(m_dir.filePath(QStringLiteral("none.mp3")).toLocal8Bit().constData()),
              kBeFileError);

    BeVersionInfo info{};
    m_library.version(&info);
    EXPECT_EQ(info.engineMajor, 3);
    EXPECT_GT(std::string(info.homepage).size(), 0u);
}
} // namespace

#include "Mp3Check.h"
#include "platform/lame_enc/BladeEncApi.h"
#include "platform/lame_enc/InfoTagFrame.h"
#include "support/TestSupport.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <array>
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace
{
constexpr int kLayer3FrameMpeg1 = 1152;
constexpr int kLayer3FrameLowRates = 576;
constexpr int kLameEncoderDelay = 576;

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

// The bit rates of the frames behind the tag frame, which may use a larger one.
std::set<int> AudioFrameBitrates(const QByteArray& data)
{
    std::set<int> bitrates;
    Mp3Check::FrameHeader header;
    qsizetype at = 0;
    for (bool tagFrame = true; Mp3Check::ParseFrame(data, at, header); tagFrame = false) {
        if (!tagFrame) {
            bitrates.insert(header.bitrateKbps);
        }
        at += header.lengthBytes;
    }
    return bitrates;
}

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
        for (std::size_t i = capacity; i < output.size(); ++i) {
            EXPECT_EQ(output[i], kGuard) << "output buffer overrun";
        }
        const QString path = m_dir.filePath(QStringLiteral("out%1.mp3").arg(++m_fileCount));
        EXPECT_TRUE(TestSupport::WriteAll(path, mp3));
        // Fills the reserved tag frame and ends the stream.
        EXPECT_EQ(m_library.writeInfoTag(stream, path.toLocal8Bit().constData()), kBeOk);
        EXPECT_EQ(m_library.close(stream), kBeInvalidHandle);
        return path;
    }

    QTemporaryDir m_dir;
    LameEncLibrary m_library;
    int m_fileCount = 0;
};

TEST_F(LameEncTest, EveryRecordRateInMonoAndStereoDecodesToExactlyItsSamples)
{
    constexpr std::array<int, 4> kRates = {8000, 11025, 22050, 44100};
    constexpr double kSeconds = 0.6;
    constexpr int kBitrate = 32; // allowed at every rate; too small for the tag frame below 44.1 kHz
    constexpr int kOddTail = 37;
    for (int rate : kRates) {
        for (int channels : {1, 2}) {
            SCOPED_TRACE(QStringLiteral("%1 Hz, %2 channels").arg(rate).arg(channels).toStdString());
            std::vector<std::int16_t> pcm = TestSupport::SinePcm(channels, rate, kSeconds, 440.0);
            pcm.resize(pcm.size() + std::size_t(kOddTail * channels), 1000);
            std::uint32_t samplesPerChunk = 0;
            std::uint32_t outputSize = 0;
            const QString path = Encode(Record(rate, channels, kBitrate), pcm, 0, &samplesPerChunk, &outputSize);
            const int frameSamples = rate >= 32000 ? kLayer3FrameMpeg1 : kLayer3FrameLowRates;
            EXPECT_EQ(samplesPerChunk, std::uint32_t(frameSamples * channels));
            EXPECT_GE(outputSize, std::uint32_t(frameSamples * 5 / 4 + 7200));

            const QByteArray mp3 = TestSupport::ReadAll(path);
            const Mp3Check::StreamSummary summary = Mp3Check::Walk(mp3);
            EXPECT_TRUE(summary.contiguous);
            ASSERT_TRUE(summary.hasHeaderTag);
            EXPECT_EQ(summary.sampleRates, std::set<int>{rate});
            EXPECT_EQ(summary.channelModes, std::set<int>{channels == 1 ? 3 : 0});
            EXPECT_TRUE(summary.bitrates.count(kBitrate));
            InfoTagFacts tag;
            ASSERT_TRUE(InfoTagFrame::Parse(reinterpret_cast<const std::uint8_t*>(mp3.constData()),
                                            std::size_t(mp3.size()), tag));
            const long long input = static_cast<long long>(pcm.size()) / channels;
            EXPECT_EQ(int(tag.frameCount), summary.frames - 1);
            EXPECT_EQ(tag.encoderDelay, kLameEncoderDelay);
            EXPECT_EQ(tag.frameCount * frameSamples - tag.encoderDelay - tag.padding, input);
            EXPECT_EQ(summary.mainDataBegins, std::set<int>{0}) << "bit reservoir must be off";
            EXPECT_TRUE(summary.first.original);

            const Mp3Check::Decoded decoded = Mp3Check::Decode(path, channels);
            ASSERT_TRUE(decoded.ok);
            EXPECT_EQ(decoded.ffprobeRate, QString::number(rate));
            EXPECT_EQ(decoded.ffprobeChannels, QString::number(channels));
            EXPECT_EQ(decoded.samplesPerChannel, input) << "mpg123";
            EXPECT_EQ(decoded.ffmpegSamplesPerChannel, input) << "ffmpeg";
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
        EXPECT_EQ(AudioFrameBitrates(TestSupport::ReadAll(path)), std::set<int>{c.expected});
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
    const QByteArray mp3 = TestSupport::ReadAll(Encode(record, TestSupport::SinePcm(2, 44100, 0.3, 440.0)));
    const Mp3Check::StreamSummary summary = Mp3Check::Walk(mp3);
    EXPECT_EQ(summary.channelModes, std::set<int>{1});
    // The flags as the audio frames carry them; the tag frame has no CRC of its own.
    Mp3Check::FrameHeader audio;
    ASSERT_TRUE(Mp3Check::ParseFrame(mp3, summary.first.lengthBytes, audio));
    EXPECT_TRUE(audio.privateBit);
    EXPECT_TRUE(audio.crcProtected);
    EXPECT_TRUE(audio.copyright);
    EXPECT_FALSE(audio.original);
    EXPECT_TRUE(summary.first.copyright);
    EXPECT_FALSE(summary.first.original);

    struct Refusal
    {
        int offset;
        std::uint32_t value;
        BeError expected;
    };
    constexpr std::array<Refusal, 8> kRefusals = {{{0, 255, kBeInvalidConfig},
                                                   {4, 0, kBeInvalidConfig},
                                                   {8, 40, kBeInvalidConfig},
                                                   {12, 0, kBeInvalidParameters},
                                                   {16, 12345, kBeInvalidParameters},
                                                   {20, 4, kBeInvalidParameters},
                                                   {72, 10, kBeInvalidParameters},  // past V9
                                                   {80, 4, kBeInvalidParameters}}}; // ABR
    for (const Refusal& refusal : kRefusals) {
        Record bad(44100, 2, 128);
        bad.Put(68, refusal.offset >= 72 ? 1 : 0); // VBR fields count only with VBR on
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

TEST_F(LameEncTest, VbrLevelsGiveFramesOfVaryingSizeWithinTheirBounds)
{
    // A tone then silence: a VBR stream spends far fewer bits on the silence.
    constexpr int kRate = 48000;
    std::vector<std::int16_t> pcm = TestSupport::SinePcm(2, kRate, 0.6, 440.0);
    pcm.resize(pcm.size() * 2, 0);
    const auto vbrRecord = [](int quality, int lowestKbps) {
        Record record(kRate, 2, lowestKbps);
        record.Put(68, 1);
        record.Put(72, std::uint32_t(quality));
        record.Put(80, 2); // the new VBR method
        return record;
    };
    const QString v2 = Encode(vbrRecord(2, 0), pcm);
    const Mp3Check::StreamSummary summary = Mp3Check::Walk(TestSupport::ReadAll(v2));
    EXPECT_TRUE(summary.contiguous);
    EXPECT_GT(summary.bitrates.size(), 1u) << "a VBR stream changes its frames' bit rate";
    EXPECT_EQ(summary.sampleRates, std::set<int>{kRate});
    const Mp3Check::Decoded decoded = Mp3Check::Decode(v2, 2);
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.ffprobeRate, QString::number(kRate));

    const QString v9 = Encode(vbrRecord(9, 0), pcm);
    EXPECT_LT(QFileInfo(v9).size(), QFileInfo(v2).size());
    // A bit rate field with VBR on is the lowest rate a frame may take.
    const QString floored = Encode(vbrRecord(2, 128), pcm);
    EXPECT_GE(*Mp3Check::Walk(TestSupport::ReadAll(floored)).bitrates.begin(), 128);
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
        EXPECT_EQ(decoded.samplesPerChannel, input);
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

    // A stream fills no tag before it is flushed, and never into a file of another stream's
    // format; either way the call ends the stream.
    const QString path = Encode(Record(22050, 1, 64), TestSupport::SinePcm(1, 22050, 0.2, 440.0));
    const QByteArray before = TestSupport::ReadAll(path);
    EXPECT_EQ(m_library.writeVbrHeader(path.toLocal8Bit().constData()), kBeOk);
    EXPECT_NE(m_library.writeInfoTag(second, path.toLocal8Bit().constData()), kBeOk);
    EXPECT_EQ(TestSupport::ReadAll(path), before);
    BeStreamHandle third = 0;
    ASSERT_EQ(m_library.init(record.bytes.data(), &samples, &size, &third), kBeOk);
    EXPECT_EQ(m_library.deinit(third, output.data(), &produced), kBeOk);
    EXPECT_EQ(m_library.writeInfoTag(third, path.toLocal8Bit().constData()), kBeFileError);
    EXPECT_EQ(TestSupport::ReadAll(path), before);
    EXPECT_EQ(m_library.close(second), kBeInvalidHandle);
    EXPECT_EQ(m_library.writeVbrHeader(m_dir.filePath(QStringLiteral("none.mp3")).toLocal8Bit().constData()),
              kBeFileError);

    BeVersionInfo info{};
    m_library.version(&info);
    EXPECT_EQ(info.engineMajor, 3);
    EXPECT_GT(std::string(info.homepage).size(), 0u);
}

TEST(InfoTagFrameTest, ReadsAndChecksTheTagOfAFileFromLame)
{
    // The CRC and field layout against the real thing: a file written by the lame program.
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("in.wav"));
    const QString mp3 = dir.filePath(QStringLiteral("lame.mp3"));
    ASSERT_TRUE(TestSupport::WriteSimpleWav(wav, TestSupport::SinePcm(1, 22050, 0.5, 440.0), 1, 22050));
    ASSERT_EQ(TestSupport::RunTool(QStringLiteral("lame"), {QStringLiteral("--quiet"), QStringLiteral("--cbr"),
                                                            QStringLiteral("-b"), QStringLiteral("64"), wav, mp3})
                  .exitCode,
              0);
    const QByteArray bytes = TestSupport::ReadAll(mp3);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    InfoTagFacts tag;
    std::size_t frameBytes = 0;
    ASSERT_TRUE(InfoTagFrame::Parse(data, std::size_t(bytes.size()), tag, &frameBytes));
    EXPECT_FALSE(tag.placeholder);
    EXPECT_EQ(tag.encoderDelay, kLameEncoderDelay);
    EXPECT_EQ(std::size_t(tag.frameCount) * 576, std::size_t(11025 + tag.encoderDelay + tag.padding));
    EXPECT_EQ(tag.audioBytes + frameBytes, std::size_t(bytes.size()));
    EXPECT_EQ(tag.musicCrc, InfoTagFrame::Crc16(0, data + frameBytes, std::size_t(bytes.size()) - frameBytes));

    // Rebuilt from what was read, the frame is byte for byte LAME's where Sorvane fills fields.
    const std::vector<std::uint8_t> rebuilt = InfoTagFrame::Build(tag);
    ASSERT_EQ(rebuilt.size(), frameBytes);
    const std::size_t tagCrcAt = InfoTagFrame::TagOffset(22050, 3) + 120 + 34;
    EXPECT_EQ(data[tagCrcAt] << 8 | data[tagCrcAt + 1], int(InfoTagFrame::Crc16(0, data, tagCrcAt)));
    EXPECT_EQ(std::vector<std::uint8_t>(rebuilt.begin(), rebuilt.begin() + 4),
              std::vector<std::uint8_t>(data, data + 4));
}

TEST(InfoTagFrameTest, LowBitRatesGetATagFrameLargeEnoughToHoldIt)
{
    InfoTagFacts facts;
    facts.sampleRate = 8000;
    facts.channelMode = 3;
    facts.streamKbps = 8; // a 72-byte frame
    facts.frameCount = 4000;
    facts.audioBytes = 4000 * 72;
    facts.encoderDelay = 576;
    facts.padding = 4095;
    EXPECT_EQ(InfoTagFrame::TagBitrate(8000, 3, 8), 24);
    EXPECT_EQ(InfoTagFrame::TagBitrate(44100, 0, 32), 64);
    EXPECT_EQ(InfoTagFrame::TagBitrate(44100, 0, 128), 128);
    const std::vector<std::uint8_t> frame = InfoTagFrame::Build(facts);
    ASSERT_EQ(frame.size(), 216u);
    InfoTagFacts read;
    ASSERT_TRUE(InfoTagFrame::Parse(frame.data(), frame.size(), read));
    EXPECT_EQ(read.streamKbps, 8);
    EXPECT_EQ(read.frameCount, 4000u);
    EXPECT_EQ(read.audioBytes, 4000u * 72);
    EXPECT_EQ(read.encoderDelay, 576);
    EXPECT_EQ(read.padding, 4095);
    facts.padding = 4096; // does not fit twelve bits
    EXPECT_TRUE(InfoTagFrame::Build(facts).empty());
}
} // namespace

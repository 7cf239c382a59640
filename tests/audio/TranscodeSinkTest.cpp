#include "Mp3Fixtures.h"
#include "audio/Mp3ToEncoderSink.h"
#include "audio/TranscodeContext.h"
#include "audio/TranscodeOwner.h"
#include "codec/Mp3Decoding.h"
#include "codec/WholeFile.h"
#include "platform/AppEvent.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QObject>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>

using namespace Mp3Fixtures;
using TestSupport::FfprobeField;

namespace
{
// Stands in for the progress dialog: keeps every progress event.
class CProgressRecorder : public QObject
{
public:
    std::vector<std::pair<std::intptr_t, std::intptr_t>> events;

    bool event(QEvent* e) override
    {
        if (e->type() == static_cast<QEvent::Type>(AppEventType::kJobProgress)) {
            const auto* progress = static_cast<CAppEvent*>(e);
            events.emplace_back(progress->WParam(), progress->LParam());
            return true;
        }
        return QObject::event(e);
    }
};

// Stands in for the job: cancels once asked cancelAfter times.
class CTestOwner : public CTranscodeOwner
{
public:
    QObject* receiver = nullptr;
    int fileIndex = 0;
    int cancelAfter = -1;
    mutable std::atomic<int> asked{0};

    bool IsCancelRequested() const override { return cancelAfter >= 0 && ++asked > cancelAfter; }
    QObject* ProgressReceiver() const override { return receiver; }
    int CurrentFileIndex() const override { return fileIndex; }
};

class TranscodeSinkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        PrepareProcess();
        ASSERT_TRUE(m_dir.isValid());
    }
    void TearDown() override { CTranscodeContext::DestroyInstance(); }

    QString Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    // Re-encodes input into output as the re-encoding job does; returns the run result.
    static int Reencode(const QString& input, const QString& output, int kbps, float volume = 1.0f,
                        CTranscodeOwner* owner = nullptr)
    {
        CTranscodeContext& context = CTranscodeContext::Instance();
        context.owner = owner;
        context.bitrateKbps = kbps;
        context.volumeScale = volume;
        context.inputPath = input;
        context.outputPath = output;
        CWholeFile file;
        if (!file.Load(input)) {
            return -1;
        }
        CMp3ToEncoderSink sink;
        const int result = DecodeMp3BufferAndFinishEncoder(file.Data(), file.Size(), sink);
        CTranscodeContext::DestroyInstance();
        return result;
    }

    static double Duration(const QString& path) { return FfprobeField(path, QStringLiteral("duration")).toDouble(); }

    QTemporaryDir m_dir;
};

TEST_F(TranscodeSinkTest, ProgressReachesTheReceiverWithFileIndexAndRisingSeconds)
{
    const QString mp3 = MakeToneMp3(m_dir.path(), QStringLiteral("tone"), 22050, 1, 3.0, 32);
    ASSERT_FALSE(mp3.isEmpty());
    CProgressRecorder receiver;
    CTestOwner owner;
    owner.receiver = &receiver;
    owner.fileIndex = 3;
    CTranscodeContext::Instance().owner = &owner;

    CWholeFile file;
    ASSERT_TRUE(file.Load(mp3));
    CCollectingSink sink;
    DecodeMp3BufferAndFinishEncoder(file.Data(), file.Size(), sink);
    QCoreApplication::processEvents();

    ASSERT_EQ(receiver.events.size(), std::size_t(sink.frames));
    std::intptr_t last = 0;
    for (const auto& [index, seconds] : receiver.events) {
        EXPECT_EQ(index, 3);
        EXPECT_GE(seconds, last);
        last = seconds;
    }
    EXPECT_EQ(last, sink.frames * std::intptr_t(sink.frameLength) / 22050);
    EXPECT_EQ(last, CTranscodeContext::Instance().elapsedSeconds);
    EXPECT_GE(last, 2);
}

TEST_F(TranscodeSinkTest, ReencodesAtTheNewBitRateKeepingRateChannelsAndLength)
{
    for (const auto& [rate, channels] : {std::pair{44100, 2}, std::pair{22050, 1}}) {
        SCOPED_TRACE(testing::Message() << rate << " Hz, " << channels << " ch");
        const QString source = MakeToneMp3(m_dir.path(), QStringLiteral("src%1").arg(rate), rate, channels, 4.0, 128);
        ASSERT_FALSE(source.isEmpty());
        const QString output = m_dir.filePath(QStringLiteral("out%1.mp3").arg(rate));
        EXPECT_EQ(Reencode(source, output, 64), 0);

        EXPECT_EQ(FfprobeField(output, QStringLiteral("bit_rate")), QStringLiteral("64000"));
        EXPECT_EQ(FfprobeField(output, QStringLiteral("sample_rate")).toInt(), rate);
        EXPECT_EQ(FfprobeField(output, QStringLiteral("channels")).toInt(), channels);
        // The encoder adds its own delay.
        EXPECT_NEAR(Duration(output), Duration(source), 0.15);
        EXPECT_LT(QFileInfo(output).size(), QFileInfo(source).size() * 6 / 10);

        const auto decoded = Mpg123Pcm(output);
        EXPECT_NEAR(double(decoded.size()) / channels / rate, Duration(source), 0.15);
    }
}

TEST_F(TranscodeSinkTest, CancelEndsWithAShorterValidMp3)
{
    const QString source = MakeToneMp3(m_dir.path(), QStringLiteral("long"), 44100, 2, 6.0, 128);
    ASSERT_FALSE(source.isEmpty());
    CTestOwner owner;
    owner.cancelAfter = 60; // about 1.6 s into the file
    const QString output = Path("cancelled.mp3");
    EXPECT_EQ(Reencode(source, output, 96, 1.0f, &owner), 0);

    const double length = Duration(output);
    EXPECT_GT(length, 1.0);
    EXPECT_LT(length, 2.5);
    EXPECT_EQ(FfprobeField(output, QStringLiteral("bit_rate")), QStringLiteral("96000"));
    const auto check =
        TestSupport::RunTool(QStringLiteral("mpg123"), {QStringLiteral("-q"), QStringLiteral("-t"), output});
    EXPECT_EQ(check.exitCode, 0);
    EXPECT_TRUE(check.err.isEmpty()) << check.err.constData();

    // Cancelled before the first frame: nothing is created.
    owner.cancelAfter = 0;
    owner.asked = 0;
    EXPECT_EQ(Reencode(source, Path("never.mp3"), 96, 1.0f, &owner), 0);
    EXPECT_FALSE(QFileInfo::exists(Path("never.mp3")));
}

TEST_F(TranscodeSinkTest, VolumeTwoDoublesTheAmplitudeAndClipsWithoutWrapping)
{
    const QString quiet = MakeToneMp3(m_dir.path(), QStringLiteral("quiet"), 44100, 1, 1.0, 128, 0.3);
    const QString loud = MakeToneMp3(m_dir.path(), QStringLiteral("loud"), 44100, 1, 1.0, 128, 0.8);
    ASSERT_FALSE(quiet.isEmpty());
    ASSERT_FALSE(loud.isEmpty());

    const auto decode = [](const QString& path, float volume) {
        CTranscodeContext::Instance().volumeScale = volume;
        CWholeFile file;
        file.Load(path);
        CCollectingSink sink;
        DecodeMp3BufferAndFinishEncoder(file.Data(), file.Size(), sink);
        CTranscodeContext::DestroyInstance();
        return sink.pcm;
    };
    const auto peak = [](const std::vector<std::int16_t>& pcm) {
        int result = 0;
        for (const auto s : pcm) {
            result = std::max(result, std::abs(int(s)));
        }
        return result;
    };

    const auto quietAt1 = decode(quiet, 1.0f);
    const auto quietAt2 = decode(quiet, 2.0f);
    ASSERT_EQ(quietAt1.size(), quietAt2.size());
    EXPECT_NEAR(double(peak(quietAt2)) / peak(quietAt1), 2.0, 0.01);

    const auto loudAt1 = decode(loud, 1.0f);
    const auto loudAt2 = decode(loud, 2.0f);
    ASSERT_EQ(loudAt1.size(), loudAt2.size());
    int clipped = 0;
    for (std::size_t i = 0; i < loudAt1.size(); ++i) {
        if (std::abs(loudAt1[i]) > 100) {
            ASSERT_EQ(loudAt1[i] > 0, loudAt2[i] > 0) << "wrapped at " << i;
        }
        if (std::abs(loudAt1[i]) > 16384) {
            EXPECT_TRUE(loudAt2[i] == 32767 || loudAt2[i] == -32768) << i;
            ++clipped;
        }
    }
    EXPECT_GT(clipped, 1000);
}

TEST_F(TranscodeSinkTest, NothingDecodableCreatesNoEncoderAndNoFile)
{
    ASSERT_TRUE(TestSupport::WriteAll(Path("junk.mp3"), QByteArray(20000, '\x55')));
    EXPECT_EQ(Reencode(Path("junk.mp3"), Path("out.mp3"), 64), 0);
    EXPECT_FALSE(QFileInfo::exists(Path("out.mp3")));
    ASSERT_TRUE(TestSupport::WriteAll(Path("empty.mp3"), {}));
    EXPECT_EQ(Reencode(Path("empty.mp3"), Path("out.mp3"), 64), 0);
    EXPECT_FALSE(QFileInfo::exists(Path("out.mp3")));
}

TEST_F(TranscodeSinkTest, AnOutputThatCannotBeCreatedEndsTheRun)
{
    const QString source = MakeToneMp3(m_dir.path(), QStringLiteral("tone"), 44100, 2, 1.0, 128);
    ASSERT_FALSE(source.isEmpty());
    CTranscodeContext& context = CTranscodeContext::Instance();
    context.outputPath = Path("no/such/folder/out.mp3");
    CWholeFile file;
    ASSERT_TRUE(file.Load(source));
    CMp3ToEncoderSink sink;
    EXPECT_EQ(DecodeMp3BufferAndFinishEncoder(file.Data(), file.Size(), sink), 0);
    EXPECT_TRUE(sink.SetUpFailed());
    EXPECT_EQ(context.frameCount, 1);
    EXPECT_FALSE(context.encoder);
    EXPECT_EQ(context.encoderError, CMp3StreamEncoder::Error::OutputNotCreated);
}

TEST_F(TranscodeSinkTest, FramesOfAnotherRateOrLayoutAreSkipped)
{
    // Two streams back to back: the output keeps the first one's format and length.
    const QString first = MakeToneMp3(m_dir.path(), QStringLiteral("a"), 44100, 2, 2.0, 128);
    const QString second = MakeToneMp3(m_dir.path(), QStringLiteral("b"), 22050, 1, 2.0, 32);
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(second.isEmpty());
    ASSERT_TRUE(TestSupport::WriteAll(Path("mixed.mp3"), TestSupport::ReadAll(first) + TestSupport::ReadAll(second)));

    CTranscodeContext& context = CTranscodeContext::Instance();
    context.bitrateKbps = 64;
    context.outputPath = Path("out.mp3");
    CWholeFile file;
    ASSERT_TRUE(file.Load(Path("mixed.mp3")));
    CMp3ToEncoderSink sink;
    CStderrCapture errors;
    EXPECT_EQ(DecodeMp3BufferAndFinishEncoder(file.Data(), file.Size(), sink), 0);
    EXPECT_GT(sink.SkippedFrames(), 50);
    EXPECT_TRUE(errors.Text().contains("skipping frame")) << errors.Text().constData();
    CTranscodeContext::DestroyInstance();

    EXPECT_EQ(FfprobeField(Path("out.mp3"), QStringLiteral("sample_rate")), QStringLiteral("44100"));
    EXPECT_EQ(FfprobeField(Path("out.mp3"), QStringLiteral("channels")), QStringLiteral("2"));
    EXPECT_NEAR(Duration(Path("out.mp3")), Duration(first), 0.15);
}

TEST_F(TranscodeSinkTest, TheContextLivesForOneOperation)
{
    const QString source = MakeToneMp3(m_dir.path(), QStringLiteral("tone"), 44100, 1, 1.0, 128);
    ASSERT_FALSE(source.isEmpty());
    CTranscodeContext& context = CTranscodeContext::Instance();
    EXPECT_EQ(context.bitrateKbps, 32);
    EXPECT_EQ(context.volumeScale, 1.0f);
    context.outputPath = Path("kept.mp3");
    context.format = RecordFormat::Pcm16(1, 44100);
    ASSERT_TRUE(context.EnsureEncoder(0));
    EXPECT_EQ(context.pcmBuffer.size(), std::size_t(context.encoder->ChunkBytes()));
    CMp3StreamEncoder* encoder = context.encoder.get();
    ASSERT_TRUE(context.EnsureEncoder(1234)); // an encoder exists: nothing changes
    EXPECT_EQ(context.encoder.get(), encoder);

    // The keeping variant leaves the file open; destroying the context completes it.
    CWholeFile file;
    ASSERT_TRUE(file.Load(source));
    CMp3ToEncoderSink sink;
    EXPECT_EQ(DecodeMp3Buffer(file.Data(), file.Size(), sink), 0);
    EXPECT_TRUE(CTranscodeContext::Instance().encoder);
    CTranscodeContext::DestroyInstance();
    EXPECT_EQ(CTranscodeContext::Existing(), nullptr);
    EXPECT_NEAR(Duration(Path("kept.mp3")), Duration(source), 0.15);
    EXPECT_EQ(CTranscodeContext::Instance().frameCount, 0);
}
} // namespace

namespace
{
TEST_F(TranscodeSinkTest, PcmIsGatheredIntoWholeChunksWhenChunkAndFrameDiffer)
{
    const QString source = MakeToneMp3(m_dir.path(), QStringLiteral("tone"), 44100, 1, 2.0, 128);
    ASSERT_FALSE(source.isEmpty());
    CTranscodeContext& context = CTranscodeContext::Instance();
    context.outputPath = Path("odd.mp3");
    context.bitrateKbps = 64;
    context.format = RecordFormat::Pcm16(1, 44100);
    constexpr int kOddChunk = 1000; // 500 samples against frames of 1152
    ASSERT_TRUE(context.EnsureEncoder(kOddChunk));

    CWholeFile file;
    ASSERT_TRUE(file.Load(source));
    CMp3ToEncoderSink sink;
    EXPECT_EQ(DecodeMp3BufferAndFinishEncoder(file.Data(), file.Size(), sink), 0);
    const int frames = context.frameCount;
    CTranscodeContext::DestroyInstance();

    // Every decoded sample reached the encoder; only the last chunk was completed with silence.
    const double decodedSeconds = frames * 1152.0 / 44100;
    const auto decoded = Mpg123Pcm(Path("odd.mp3"));
    EXPECT_NEAR(double(decoded.size()) / 44100, decodedSeconds, 0.08);
}
} // namespace

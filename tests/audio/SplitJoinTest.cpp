// Splitting and joining, checked against the peer tools (ffprobe, mpg123).
#include "Mp3Fixtures.h"
#include "audio/JoinJob.h"
#include "audio/JoinResampling.h"
#include "audio/JoinState.h"
#include "audio/SplitJob.h"
#include "codec/RecordFormat.h"
#include "platform/AppEvent.h"
#include "platform/FileLock.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace Mp3Fixtures;
using namespace TestSupport;

namespace
{
constexpr double kFrame44k = 1152.0 / 44100;
constexpr double kFrame22k = 576.0 / 22050;
constexpr double kFrame8k = 576.0 / 8000;
// ffprobe counts the encoder delay and padding frames of a file we write; we decode those of a
// source, its Info frame and its last frame. Durations compared across an encoding differ by
// that much.
constexpr double kEncoderOverheadFrames = 4;

double Duration(const QString& path)
{
    return FfprobeField(path, QStringLiteral("duration")).toDouble();
}

bool PlaysInMpg123(const QString& path)
{
    const ToolResult played = RunTool(QStringLiteral("mpg123"), {QStringLiteral("-q"), QStringLiteral("-t"), path});
    return played.exitCode == 0 && !played.err.contains("error");
}

// Calls back on every progress event, on the thread that processes events.
class CProgressWatcher : public QObject
{
public:
    std::function<void(std::intptr_t, std::intptr_t)> onProgress;

    bool event(QEvent* event) override
    {
        if (event->type() != AppEventType::kJobProgress) {
            return QObject::event(event);
        }
        const auto* progress = static_cast<CAppEvent*>(event);
        if (onProgress) {
            onProgress(progress->WParam(), progress->LParam());
        }
        return true;
    }
};

// Runs work on a worker thread while this thread delivers the progress events.
void RunWithEvents(const std::function<void()>& work)
{
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    worker.join();
    QCoreApplication::processEvents();
}

class SplitJoinTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        PrepareProcess();
        ASSERT_TRUE(m_dir.isValid());
    }
    QString Path(const QString& name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
};
} // namespace

TEST(JoinResamplingTest, ConvertsInPiecesExactlyAsInOneGo)
{
    EXPECT_EQ(MixStereoPair(1, 2), 2);
    EXPECT_EQ(MixStereoPair(-1, -2), -1);
    EXPECT_EQ(MixStereoPair(32767, 32767), 32767);
    EXPECT_EQ(MixStereoPair(-32768, -32768), -32768);

    // A ramp resampled in uneven pieces gives exactly what one call gives: the state carries over.
    std::vector<std::int16_t> ramp(4000);
    for (std::size_t i = 0; i < ramp.size(); ++i) {
        ramp[i] = static_cast<std::int16_t>(int(i * 16) - 32000);
    }
    for (const auto& [from, to] :
         {std::pair{22050u, 44100u}, std::pair{8000u, 44100u}, std::pair{44100u, 22050u}, std::pair{48000u, 11025u}}) {
        std::vector<std::int16_t> whole(ramp.size() * 6 + 2);
        JoinResampling::Accumulator phase = 0, sum = 0;
        std::size_t wholeCount = 0;
        ResampleMono(ramp.data(), whole.data(), from, to, phase, sum, ramp.size(), wholeCount);
        EXPECT_NEAR(double(wholeCount), ramp.size() * double(to) / from, 1.0);

        std::vector<std::int16_t> pieces;
        phase = sum = 0;
        for (std::size_t start = 0, piece = 1; start < ramp.size(); start += piece, piece = piece * 3 % 701 + 1) {
            const std::size_t count = std::min(piece, ramp.size() - start);
            std::vector<std::int16_t> out(count * 6 + 2);
            std::size_t produced = 0;
            ResampleMono(ramp.data() + start, out.data(), from, to, phase, sum, count, produced);
            pieces.insert(pieces.end(), out.begin(), out.begin() + long(produced));
        }
        whole.resize(wholeCount);
        EXPECT_EQ(pieces, whole) << from << " -> " << to;
        // Averages of a rising ramp stay within its range and never fall back.
        for (std::size_t i = 1; i < whole.size(); ++i) {
            ASSERT_GE(whole[i], whole[i - 1]) << from << " -> " << to << " at " << i;
        }
    }

    // Stereo keeps its channels apart, and full-scale samples do not overflow the sums.
    const std::vector<std::int16_t> pairs = {32767, -32768, 32767, -32768, 32767, -32768};
    std::vector<std::int16_t> out(pairs.size() * 6 + 4);
    JoinResampling::Accumulator phase = 0, left = 0, right = 0;
    std::size_t produced = 0;
    ResampleStereo(pairs.data(), out.data(), 8000, 44100, phase, left, right, pairs.size() / 2, produced);
    ASSERT_GE(produced, 30u);
    for (std::size_t i = 0; i + 1 < produced; i += 2) {
        EXPECT_EQ(out[i], 32767);
        EXPECT_EQ(out[i + 1], -32768);
    }
}

TEST(JoinStateTest, EightKilohertzMonoIntoFortyFourKilohertzStereoFitsTheBuffers)
{
    constexpr std::size_t kChunkBytes = 1152 * 2 * 2;
    CJoinState state;
    state.Reset(kChunkBytes, 44100, 2);
    const std::size_t bufferBytes = state.BufferBytes();
    std::size_t encodedSamples = 0;
    const auto encode = [&](const std::int16_t*) {
        encodedSamples += kChunkBytes / 2;
        return true;
    };
    // One second of 8000 Hz mono in pieces of a whole chunk each.
    const std::vector<std::int16_t> piece(kChunkBytes / 2, 1000);
    std::size_t fed = 0;
    while (fed < 8000) {
        ASSERT_TRUE(state.AddPiece(piece.data(), piece.size(), 8000, 1, encode));
        fed += piece.size();
    }
    ASSERT_TRUE(state.FlushCarry([&](const std::int16_t*, std::size_t count) {
        encodedSamples += count;
        return true;
    }));
    EXPECT_EQ(state.BufferBytes(), bufferBytes); // sized once, for the largest ratio
    const double seconds = double(encodedSamples) / 2 / 44100;
    EXPECT_NEAR(seconds, double(fed) / 8000, double(kChunkBytes) / 4 / 44100);
    EXPECT_LE(bufferBytes, kChunkBytes * 32);
}

TEST(JoinStateTest, ARateChangeBetweenFilesKeepsTheTimeLine)
{
    // Files of 48000 Hz and 8000 Hz in turn: the phase left by one rate must not turn into
    // repeated samples at the next, so the output holds the inputs' time and no more.
    constexpr std::size_t kChunkBytes = 1152 * 2;
    CJoinState state;
    state.Reset(kChunkBytes, 44100, 1);
    std::size_t encodedSamples = 0;
    const auto encode = [&](const std::int16_t*) {
        encodedSamples += kChunkBytes / 2;
        return true;
    };
    const std::vector<std::int16_t> piece(1000, -500);
    double seconds = 0;
    for (int turn = 0; turn < 10; ++turn) {
        ASSERT_TRUE(state.AddPiece(piece.data(), 1000, 48000, 1, encode));
        ASSERT_TRUE(state.AddPiece(piece.data(), 333, 8000, 1, encode));
        seconds += 1000.0 / 48000 + 333.0 / 8000;
    }
    const std::size_t produced = encodedSamples + state.CarryCount() / 2;
    EXPECT_NEAR(double(produced), seconds * 44100, 2.0);
}

TEST_F(SplitJoinTest, SplitsALongFileIntoThirdsNamedAsTheSource)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("Mixed Case")));
    const QString tone = MakeToneMp3(Path(QStringLiteral("Mixed Case")), QStringLiteral("Tone"), 22050, 1, 300.0, 32);
    ASSERT_FALSE(tone.isEmpty());
    const QString source = Path(QStringLiteral("Mixed Case/Long Tone.MP3"));
    ASSERT_TRUE(QFile::rename(tone, source));

    CSplitJob job({source}, 1.0f, 3);
    std::vector<std::pair<std::intptr_t, std::intptr_t>> events;
    CProgressWatcher watcher;
    watcher.onProgress = [&](std::intptr_t index, std::intptr_t seconds) { events.emplace_back(index, seconds); };
    job.SetProgressReceiver(&watcher);
    bool ok = false;
    RunWithEvents([&] { ok = job.Run(); });
    ASSERT_TRUE(ok) << job.Messages().join(QLatin1Char('\n')).toStdString();

    const QString base = Path(QStringLiteral("Mixed Case/Long Tone"));
    ASSERT_EQ(job.WrittenFiles(), QStringList({base + QStringLiteral("_1.mp3"), base + QStringLiteral("_2.mp3"),
                                               base + QStringLiteral("_3.mp3")}));
    // Thirds of the frames (the source's Info frame among them), each part also carrying our
    // encoder's own delay and padding, the same for each part.
    const double first = Duration(job.WrittenFiles().at(0));
    EXPECT_NEAR(first, 100.0, kEncoderOverheadFrames * kFrame22k);
    EXPECT_NEAR(Duration(job.WrittenFiles().at(1)), first, kFrame22k + 0.001);
    EXPECT_NEAR(Duration(job.WrittenFiles().at(2)), first, kFrame22k + 0.001);
    for (const QString& part : job.WrittenFiles()) {
        EXPECT_EQ(FfprobeField(part, QStringLiteral("sample_rate")), QStringLiteral("22050"));
        EXPECT_EQ(FfprobeField(part, QStringLiteral("channels")), QStringLiteral("1"));
        EXPECT_EQ(FfprobeField(part, QStringLiteral("bit_rate")), QStringLiteral("32000"));
        EXPECT_TRUE(PlaysInMpg123(part)) << part.toStdString();
    }
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front(), std::make_pair(std::intptr_t(0), std::intptr_t(0)));
    EXPECT_EQ(events.back().second, 300);
    // The progress window sizes its file bar from the length the run found.
    EXPECT_EQ(job.CurrentFileRange(), 300);
    // Nothing else is left in the folder: no temporary part files.
    EXPECT_EQ(QDir(Path(QStringLiteral("Mixed Case"))).entryList(QDir::Files | QDir::Hidden).size(), 5);
}

TEST_F(SplitJoinTest, SplitEdgeCasesShortFilesOtherNamesCancelAndBadInput)
{
    // A 1-second file in 3: a third of a second each, whole seconds play no part.
    const QString shortTone = MakeToneMp3(m_dir.path(), QStringLiteral("short"), 44100, 2, 1.0, 64);
    const QString wavNamed = Path(QStringLiteral("Clip.WAV"));
    ASSERT_TRUE(QFile::copy(shortTone, wavNamed));
    CSplitJob job({shortTone, wavNamed, Path(QStringLiteral("missing.mp3"))}, 1.0f, 3);
    EXPECT_FALSE(job.Run());
    ASSERT_EQ(job.WrittenFiles().size(), 6);
    EXPECT_EQ(job.WrittenFiles().at(3), Path(QStringLiteral("Clip.WAV_1.mp3")));
    const double third = Duration(job.WrittenFiles().at(0));
    EXPECT_NEAR(third, Duration(shortTone) / 3, kEncoderOverheadFrames * kFrame44k);
    EXPECT_NEAR(Duration(job.WrittenFiles().at(1)), third, kFrame44k + 0.001);
    EXPECT_NEAR(Duration(job.WrittenFiles().at(2)), third, kFrame44k + 0.001);
    EXPECT_EQ(job.Messages(),
              QStringList({QStringLiteral("Open File %1 Error").arg(Path(QStringLiteral("missing.mp3")))}));

    // Cancel while the second part is written: part 1 complete, part 2 dropped, no part 3.
    const QString longTone = MakeToneMp3(m_dir.path(), QStringLiteral("long"), 22050, 1, 60.0, 32);
    CSplitJob cancelled({longTone}, 1.0f, 3);
    CProgressWatcher watcher;
    watcher.onProgress = [&](std::intptr_t, std::intptr_t seconds) {
        if (seconds >= 25) {
            cancelled.Cancel();
        }
    };
    cancelled.SetProgressReceiver(&watcher);
    RunWithEvents([&] { cancelled.Run(); });
    ASSERT_EQ(cancelled.WrittenFiles().size(), 1);
    EXPECT_NEAR(Duration(cancelled.WrittenFiles().at(0)), 20.0, kEncoderOverheadFrames * kFrame22k);
    EXPECT_FALSE(QFile::exists(CSplitJob::BasePath(longTone) + QStringLiteral("_2.mp3")));
    EXPECT_FALSE(QFile::exists(CSplitJob::BasePath(longTone) + QStringLiteral("_3.mp3")));

    // Not MPEG audio: nothing written, a message, and the file itself untouched.
    const QString text = Path(QStringLiteral("notes.mp3"));
    ASSERT_TRUE(WriteAll(text, QByteArray(5000, 'x')));
    CSplitJob garbage({text}, 1.0f, 2);
    EXPECT_FALSE(garbage.Run());
    EXPECT_TRUE(garbage.WrittenFiles().isEmpty());
    EXPECT_EQ(garbage.Messages().size(), 1);
    EXPECT_EQ(ReadAll(text), QByteArray(5000, 'x'));

    // "short_1.mp3" is written above; as an input of a batch with "short.mp3" it must survive.
    const QByteArray partBytes = ReadAll(job.WrittenFiles().at(0));
    CSplitJob clash({shortTone, job.WrittenFiles().at(0)}, 1.0f, 3);
    EXPECT_FALSE(clash.Run());
    EXPECT_EQ(ReadAll(job.WrittenFiles().at(0)), partBytes);
    EXPECT_FALSE(clash.WrittenFiles().contains(job.WrittenFiles().at(0)));
    EXPECT_EQ(clash.Messages().size(), 1);
}

// Lengths that do not divide evenly, stereo and mono: parts equal to within one frame (whole
// seconds made a 20 s file 6, 7 and 7 s long), named with the source's own case.
TEST_F(SplitJoinTest, PartsAreEqualToWithinOneFrameAndKeepTheSourcesCase)
{
    struct Case
    {
        const char* name;
        int rate;
        int channels;
        double seconds;
        int parts;
        double frame;
    };
    for (const Case& c :
         {Case{"Song.MP3", 44100, 2, 20.0, 3, kFrame44k}, Case{"Mono Talk.mp3", 22050, 1, 10.3, 4, kFrame22k}}) {
        SCOPED_TRACE(c.name);
        const QString made = MakeToneMp3(m_dir.path(), QStringLiteral("made"), c.rate, c.channels, c.seconds, 64);
        const QString source = Path(QString::fromLatin1(c.name));
        ASSERT_TRUE(QFile::rename(made, source));
        CSplitJob job({source}, 1.0f, c.parts);
        ASSERT_TRUE(job.Run()) << job.Messages().join(QLatin1Char('\n')).toStdString();
        ASSERT_EQ(job.WrittenFiles().size(), c.parts);
        const QString base = source.left(source.size() - 4);
        double total = 0;
        for (int part = 0; part < c.parts; ++part) {
            EXPECT_EQ(job.WrittenFiles().at(part), base + QStringLiteral("_%1.mp3").arg(part + 1));
            const double seconds = Duration(job.WrittenFiles().at(part));
            EXPECT_NEAR(seconds, Duration(job.WrittenFiles().at(0)), c.frame + 0.001) << part + 1;
            EXPECT_EQ(FfprobeField(job.WrittenFiles().at(part), QStringLiteral("channels")),
                      QString::number(c.channels));
            total += seconds;
        }
        EXPECT_NEAR(total, Duration(source), c.parts * kEncoderOverheadFrames * c.frame);
    }

    // Names that differ only in case are different files, each split into its own parts...
    const QString upper = MakeToneMp3(m_dir.path(), QStringLiteral("A"), 44100, 2, 1.0, 64);
    const QString lower = MakeToneMp3(m_dir.path(), QStringLiteral("a"), 44100, 2, 2.0, 64);
    CSplitJob both({upper, lower}, 1.0f, 2);
    ASSERT_TRUE(both.Run()) << both.Messages().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(both.WrittenFiles(), QStringList({Path(QStringLiteral("A_1.mp3")), Path(QStringLiteral("A_2.mp3")),
                                                Path(QStringLiteral("a_1.mp3")), Path(QStringLiteral("a_2.mp3"))}));
    EXPECT_LT(Duration(Path(QStringLiteral("A_1.mp3"))), Duration(Path(QStringLiteral("a_1.mp3"))) - 0.3);

    // ... but "A.MP3" has the parts of "A.mp3": the second in the batch is refused, the first
    // one's parts stay as they were written.
    const QString upperExtension = Path(QStringLiteral("A.MP3"));
    ASSERT_TRUE(QFile::copy(lower, upperExtension));
    CSplitJob sameParts({upper, upperExtension}, 1.0f, 2);
    sameParts.SetReplaceExisting(true); // "A.mp3" may replace its own parts of the run above
    EXPECT_FALSE(sameParts.Run());
    EXPECT_EQ(sameParts.WrittenFiles(),
              QStringList({Path(QStringLiteral("A_1.mp3")), Path(QStringLiteral("A_2.mp3"))}));
    ASSERT_EQ(sameParts.Messages().size(), 1);
    EXPECT_TRUE(sameParts.Messages().first().startsWith(upperExtension));
    EXPECT_LT(Duration(Path(QStringLiteral("A_1.mp3"))), Duration(Path(QStringLiteral("a_1.mp3"))) - 0.3);
}

// The source is read under a shared lock: while a tag is being written into it, the split
// says the file is busy and writes no part.
TEST_F(SplitJoinTest, SplitOfAFileBeingWrittenSaysItIsBusy)
{
    const QString source = MakeToneMp3(m_dir.path(), QStringLiteral("Busy"), 44100, 2, 1.0, 64);
    ASSERT_FALSE(source.isEmpty());
    CFileLock tagSave;
    ASSERT_EQ(tagSave.Acquire(source, CFileLock::Mode::Exclusive), CFileLock::Result::Locked);
    CSplitJob job({source}, 1.0f, 2);
    EXPECT_FALSE(job.Run());
    EXPECT_EQ(job.Messages(), QStringList{CFileLock::BusyText(source)});
    EXPECT_TRUE(job.WrittenFiles().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("Busy_1.mp3"))));

    // A reader does not keep another reader out.
    tagSave.Release();
    CFileLock otherReader;
    ASSERT_EQ(otherReader.Acquire(source, CFileLock::Mode::Shared), CFileLock::Result::Locked);
    CSplitJob shared({source}, 1.0f, 2);
    EXPECT_TRUE(shared.Run()) << shared.Messages().join(QLatin1Char('\n')).toStdString();
}

TEST_F(SplitJoinTest, JoinsMixedRatesAndLayoutsIntoTheTargetFormat)
{
    const QString mono = MakeToneMp3(m_dir.path(), QStringLiteral("mono22"), 22050, 1, 4.0, 32);
    const QString stereo = MakeToneMp3(m_dir.path(), QStringLiteral("stereo44"), 44100, 2, 3.0, 128);
    const QString narrow = MakeToneMp3(m_dir.path(), QStringLiteral("mono8"), 8000, 1, 5.0, 16);
    ASSERT_FALSE(mono.isEmpty() || stereo.isEmpty() || narrow.isEmpty());
    const RecordFormat target = RecordFormat::Pcm16(2, 44100);

    const QString joined = Path(QStringLiteral("joined.mp3"));
    CJoinJob job({mono, Path(QStringLiteral("gone.mp3")), stereo}, 128, joined, target);
    std::vector<std::pair<std::intptr_t, std::intptr_t>> starts;
    CProgressWatcher watcher;
    watcher.onProgress = [&](std::intptr_t index, std::intptr_t seconds) {
        if (seconds == 0 && (starts.empty() || starts.back().first != index)) {
            starts.emplace_back(index, seconds);
        }
    };
    job.SetProgressReceiver(&watcher);
    bool ok = false;
    RunWithEvents([&] { ok = job.Run(); });
    ASSERT_TRUE(ok) << job.Messages().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(job.Messages(),
              QStringList({QStringLiteral("Open File %1 Error").arg(Path(QStringLiteral("gone.mp3")))}));
    EXPECT_EQ(starts.size(), 3u);
    EXPECT_EQ(FfprobeField(joined, QStringLiteral("sample_rate")), QStringLiteral("44100"));
    EXPECT_EQ(FfprobeField(joined, QStringLiteral("channels")), QStringLiteral("2"));
    EXPECT_NEAR(Duration(joined), Duration(mono) + Duration(stereo), kEncoderOverheadFrames * kFrame44k);
    EXPECT_TRUE(PlaysInMpg123(joined));
    // The tone survives the conversion: the joined file sounds like its sources.
    const std::vector<std::int16_t> pcm = Mpg123Pcm(joined);
    ASSERT_GT(pcm.size(), 44100u * 2 * 6);
    const std::vector<std::int16_t> second(pcm.begin() + 44100 * 2 * 5, pcm.begin() + 44100 * 2 * 6);
    double energy = 0;
    for (const std::int16_t sample : second) {
        energy += double(sample) * sample;
    }
    EXPECT_GT(energy / double(second.size()), 1.0e7); // a half-scale sine, not silence

    // 8000 Hz joined at 44100 Hz (more than four times the rate) into mono.
    const QString widened = Path(QStringLiteral("widened.mp3"));
    CJoinJob wide({narrow, narrow}, 64, widened, RecordFormat::Pcm16(1, 44100));
    ASSERT_TRUE(wide.Run()) << wide.Messages().join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(FfprobeField(widened, QStringLiteral("channels")), QStringLiteral("1"));
    // Each 8000 Hz source brings its own delay, padding and Info frames (0.072 s each).
    EXPECT_NEAR(Duration(widened), 2 * Duration(narrow), 2 * kEncoderOverheadFrames * kFrame8k);
    EXPECT_TRUE(PlaysInMpg123(widened));
}

TEST_F(SplitJoinTest, JoinFailuresLoseNothing)
{
    const QString tone = MakeToneMp3(m_dir.path(), QStringLiteral("tone"), 44100, 2, 2.0, 64);
    const QString other = MakeToneMp3(m_dir.path(), QStringLiteral("other"), 44100, 2, 3.0, 64);

    // An output that is one of the inputs is refused, even where replacing was agreed.
    const QByteArray otherBytes = ReadAll(other);
    CJoinJob intoInput({tone, other}, 64, other, RecordFormat::Pcm16(2, 44100));
    intoInput.SetReplaceExisting(true);
    EXPECT_FALSE(intoInput.Run());
    EXPECT_EQ(ReadAll(other), otherBytes);
    EXPECT_EQ(intoInput.Messages().size(), 1);

    // Nothing decodable: no output file, and an existing file of that name is kept.
    const QString text = Path(QStringLiteral("text.mp3"));
    ASSERT_TRUE(WriteAll(text, QByteArray(3000, 'y')));
    const QString keep = Path(QStringLiteral("keep.mp3"));
    ASSERT_TRUE(WriteAll(keep, "precious"));
    CJoinJob nothing({text}, 64, keep, RecordFormat::Pcm16(2, 44100));
    nothing.SetReplaceExisting(true);
    EXPECT_FALSE(nothing.Run());
    EXPECT_EQ(ReadAll(keep), QByteArray("precious"));
    EXPECT_EQ(nothing.Messages().size(), 1);

    // An output folder that does not exist ends the join with a message.
    CJoinJob nowhere({tone}, 64, Path(QStringLiteral("no/such/out.mp3")), RecordFormat::Pcm16(2, 44100));
    EXPECT_FALSE(nowhere.Run());
    EXPECT_EQ(nowhere.Messages().size(), 1);
    // No temporary file is left: only the sources (and their WAVs) and keep.mp3.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 6);
}

#include "record/RecordingFiler.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace RecordingFiler;

namespace
{
constexpr qint64 kOneSecondAt44100 = 44100;

class RecordingFilerTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.isValid()); }

    QString Path(const QString& name) const { return m_folder.filePath(name); }
    QString SaveDirectory() const { return m_folder.path() + "/"; }

    // What the engine leaves behind: a file under the minute's name without an extension.
    QString Recording(const QByteArray& bytes = QByteArray(50000, 'r')) const
    {
        const QString path = Path("2026-12-07-09-05");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    static void WriteFile(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    static QByteArray Contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QStringList TemporaryNamesLeft() const { return QDir(m_folder.path()).entryList({"Un*.tmp"}, QDir::Files); }

    QTemporaryDir m_folder;
};
} // namespace

TEST_F(RecordingFilerTest, MovesTheRecordingAndReplacesAnEarlierFileOfTheSameName)
{
    const QString recorded = Recording(QByteArray(50000, 'n'));
    WriteFile(Path("talk.mp3"), "earlier recording in the same minute");
    const FilingResult result = FileRecording(recorded, Path("talk.mp3"), {SaveDirectory(), kOneSecondAt44100});
    EXPECT_EQ(result.outcome, FilingOutcome::Filed);
    EXPECT_EQ(result.path, Path("talk.mp3"));
    EXPECT_TRUE(result.reason.isEmpty());
    EXPECT_EQ(Contents(Path("talk.mp3")), QByteArray(50000, 'n'));
    EXPECT_FALSE(QFile::exists(recorded));
}

TEST_F(RecordingFilerTest, OccupiedNameFallsBackToAnUnNameThenToRepeat)
{
    // A folder standing where the file should go cannot be deleted as a file.
    ASSERT_TRUE(QDir(m_folder.path()).mkpath("talk.mp3/inside"));
    const QString recorded = Recording();
    const FilingResult unNamed = FileRecording(recorded, Path("talk.mp3"), {SaveDirectory(), 0});
    EXPECT_EQ(unNamed.outcome, FilingOutcome::Filed);
    EXPECT_TRUE(QRegularExpression("/talkUn[0-9A-F]{4}\\.Mp3$").match(unNamed.path).hasMatch())
        << unNamed.path.toStdString();
    EXPECT_EQ(Contents(unNamed.path).size(), 50000);
    EXPECT_TRUE(QFileInfo(Path("talk.mp3/inside")).isDir()) << "what stood in the way is untouched";
    EXPECT_TRUE(TemporaryNamesLeft().isEmpty()) << "the empty Un file only lends its number";

    // Without a folder to make the Un name in, the occupied name fails and "repeat" is tried.
    const QString again = Recording();
    const FilingResult repeat = FileRecording(again, Path("talk.mp3"), {Path("no-such-folder/"), 0});
    EXPECT_EQ(repeat.outcome, FilingOutcome::Filed);
    EXPECT_EQ(repeat.path, Path("talkrepeat.mp3"));
    EXPECT_EQ(Contents(Path("talkrepeat.mp3")).size(), 50000);
}

TEST_F(RecordingFilerTest, RecordingSurvivesUnderItsTemporaryNameWhenEveryMoveFails)
{
    ASSERT_TRUE(QDir(m_folder.path()).mkpath("talk.mp3"));
    ASSERT_TRUE(QDir(m_folder.path()).mkpath("talkrepeat.mp3"));
    const QString recorded = Recording(QByteArray(60000, 'k'));
    const FilingResult result = FileRecording(recorded, Path("talk.mp3"), {Path("no-such-folder/"), 0});
    EXPECT_EQ(result.outcome, FilingOutcome::KeptUnderTemporaryName);
    EXPECT_EQ(result.path, recorded);
    EXPECT_EQ(Contents(recorded), QByteArray(60000, 'k'));
    EXPECT_TRUE(result.reason.contains(Path("talk.mp3"))) << result.reason.toStdString();
    EXPECT_TRUE(result.reason.contains(Path("talkrepeat.mp3"))) << result.reason.toStdString();

    // A name inside a folder that does not exist fails both tries the same way.
    const FilingResult missing = FileRecording(recorded, Path("gone/talk.mp3"), {SaveDirectory(), 0});
    EXPECT_EQ(missing.outcome, FilingOutcome::KeptUnderTemporaryName);
    EXPECT_EQ(missing.path, recorded);
    EXPECT_EQ(Contents(recorded), QByteArray(60000, 'k'));
    EXPECT_FALSE(missing.reason.isEmpty());
}

TEST_F(RecordingFilerTest, ReadOnlyFolderKeepsBothFiles)
{
    const QString locked = Path("locked");
    ASSERT_TRUE(QDir().mkpath(locked));
    const QString recorded = locked + "/2026-12-07-09-05";
    WriteFile(recorded, QByteArray(50000, 'r'));
    WriteFile(locked + "/talk.mp3", "older");
    ASSERT_EQ(::chmod(locked.toLocal8Bit().constData(), 0555), 0);
    const bool writable = QFile(locked + "/probe").open(QIODevice::WriteOnly);
    if (writable) {
        ::chmod(locked.toLocal8Bit().constData(), 0755);
        GTEST_SKIP() << "permissions are not enforced for this user";
    }
    const FilingResult result = FileRecording(recorded, locked + "/talk.mp3", {locked + "/", 0});
    ::chmod(locked.toLocal8Bit().constData(), 0755);
    EXPECT_EQ(result.outcome, FilingOutcome::KeptUnderTemporaryName);
    EXPECT_EQ(Contents(recorded).size(), 50000);
    EXPECT_EQ(Contents(locked + "/talk.mp3"), "older");
}

TEST_F(RecordingFilerTest, ShortRecordingIsDiscardedWithoutTakingTheEarlierFile)
{
    WriteFile(Path("talk.mp3"), "earlier");
    const QString tooShort = Recording(QByteArray(kOneSecondAt44100 - 1, 's'));
    const FilingResult discarded = FileRecording(tooShort, Path("talk.mp3"), {SaveDirectory(), kOneSecondAt44100});
    EXPECT_EQ(discarded.outcome, FilingOutcome::DiscardedAsTooShort);
    EXPECT_TRUE(discarded.path.isEmpty());
    EXPECT_FALSE(QFile::exists(tooShort));
    EXPECT_EQ(Contents(Path("talk.mp3")), "earlier");

    const QString justLongEnough = Recording(QByteArray(kOneSecondAt44100, 'l'));
    EXPECT_EQ(FileRecording(justLongEnough, Path("talk.mp3"), {SaveDirectory(), kOneSecondAt44100}).outcome,
              FilingOutcome::Filed);
    EXPECT_EQ(Contents(Path("talk.mp3")).size(), kOneSecondAt44100);

    // With the silence detector off every recording is kept, an empty one too.
    const QString empty = Recording(QByteArray());
    EXPECT_EQ(FileRecording(empty, Path("empty.mp3"), {SaveDirectory(), 0}).outcome, FilingOutcome::Filed);
    EXPECT_TRUE(QFile::exists(Path("empty.mp3")));
}

TEST_F(RecordingFilerTest, MissingRecordingLeavesTheDestinationAlone)
{
    WriteFile(Path("talk.mp3"), "earlier");
    const FilingResult result = FileRecording(Path("never-written"), Path("talk.mp3"), {SaveDirectory(), 0});
    EXPECT_EQ(result.outcome, FilingOutcome::NothingRecorded);
    EXPECT_TRUE(result.path.isEmpty());
    EXPECT_FALSE(result.reason.isEmpty());
    EXPECT_EQ(Contents(Path("talk.mp3")), "earlier");

    // Filing a recording onto its own name is not a replacement of another file.
    const QString recorded = Recording();
    const FilingResult same = FileRecording(recorded, recorded, {SaveDirectory(), 0});
    EXPECT_EQ(same.outcome, FilingOutcome::Filed);
    EXPECT_EQ(Contents(recorded).size(), 50000);
}

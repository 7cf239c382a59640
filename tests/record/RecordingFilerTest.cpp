#include "record/RecordingFiler.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace RecordingFiler;

namespace
{
// MPEG-2.5 layer III, 8 kHz, 8 kbit/s: 72-byte frames of 72 ms each.
const QByteArray kFrameHeader("\xFF\xE3\x18\xC0", 4);
constexpr int kFrameBytes = 72;

QByteArray Mp3Frames(int count)
{
    return (kFrameHeader + QByteArray(kFrameBytes - kFrameHeader.size(), '\0')).repeated(count);
}

class RecordingFilerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid() && m_dataHome.isValid());
        m_previousDataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dataHome.path()));
    }
    void TearDown() override
    {
        if (m_previousDataHome.isEmpty()) {
            qunsetenv("XDG_DATA_HOME");
        } else {
            qputenv("XDG_DATA_HOME", m_previousDataHome);
        }
    }

    QString Path(const QString& name) const { return m_folder.filePath(name); }
    QString TrashPath(const QString& name) const { return m_dataHome.filePath("Trash/files/" + name); }
    QStringList FilesInFolder() const { return QDir(m_folder.path()).entryList(QDir::Files, QDir::Name); }

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

    QTemporaryDir m_folder;
    QTemporaryDir m_dataHome;
    QByteArray m_previousDataHome;
};
} // namespace

TEST_F(RecordingFilerTest, NeverReplacesAFileButTakesTheFirstFreeContinuationName)
{
    WriteFile(Path("talk.mp3"), "earlier recording in the same minute");
    const FilingResult first = FileRecording(Recording(QByteArray(50000, 'n')), Path("talk.mp3"), {});
    EXPECT_EQ(first.outcome, FilingOutcome::Filed);
    EXPECT_EQ(first.path, Path("talk001.mp3"));
    EXPECT_TRUE(first.reason.isEmpty());
    EXPECT_EQ(Contents(Path("talk.mp3")), "earlier recording in the same minute");
    EXPECT_EQ(Contents(Path("talk001.mp3")), QByteArray(50000, 'n'));

    const FilingResult second = FileRecording(Recording(QByteArray(40000, 'm')), Path("talk.mp3"), {});
    EXPECT_EQ(second.path, Path("talk002.mp3"));
    EXPECT_EQ(Contents(Path("talk001.mp3")), QByteArray(50000, 'n'));
    EXPECT_EQ(Contents(Path("talk002.mp3")), QByteArray(40000, 'm'));

    // A folder standing in the way is passed over too, and the extension keeps its case.
    ASSERT_TRUE(QDir(m_folder.path()).mkpath("Loud.MP3/inside"));
    const FilingResult past = FileRecording(Recording(), Path("Loud.MP3"), {});
    EXPECT_EQ(past.path, Path("Loud001.MP3"));
    EXPECT_TRUE(QFileInfo(Path("Loud.MP3/inside")).isDir());
    EXPECT_EQ(FilesInFolder(), (QStringList{"Loud001.MP3", "talk.mp3", "talk001.mp3", "talk002.mp3"}));
}

TEST_F(RecordingFilerTest, RecordingSurvivesUnderItsTemporaryNameWhenNoNameCanBeTaken)
{
    // A name inside a folder that does not exist cannot be taken.
    const QString recorded = Recording(QByteArray(60000, 'k'));
    const FilingResult missing = FileRecording(recorded, Path("gone/talk.mp3"), {});
    EXPECT_EQ(missing.outcome, FilingOutcome::KeptUnderTemporaryName);
    EXPECT_EQ(missing.path, recorded);
    EXPECT_EQ(Contents(recorded), QByteArray(60000, 'k'));
    EXPECT_TRUE(missing.reason.contains(Path("gone/talk.mp3"))) << missing.reason.toStdString();
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
    const FilingResult result = FileRecording(recorded, locked + "/talk.mp3", {});
    ::chmod(locked.toLocal8Bit().constData(), 0755);
    EXPECT_EQ(result.outcome, FilingOutcome::KeptUnderTemporaryName);
    EXPECT_EQ(Contents(recorded).size(), 50000);
    EXPECT_EQ(Contents(locked + "/talk.mp3"), "older");
}

TEST_F(RecordingFilerTest, UnderASecondOfPlayingTimeGoesToTheTrashWhateverItsSize)
{
    const FilingRules smallFileRule{true};
    WriteFile(Path("talk.mp3"), "earlier");
    // 13 frames of 72 ms: a little under a second, in only 936 bytes.
    const FilingResult trashed = FileRecording(Recording(Mp3Frames(13)), Path("talk.mp3"), smallFileRule);
    EXPECT_EQ(trashed.outcome, FilingOutcome::TrashedAsTooShort);
    EXPECT_EQ(trashed.path, TrashPath("2026-12-07-09-05"));
    EXPECT_EQ(Contents(trashed.path), Mp3Frames(13));
    EXPECT_TRUE(trashed.reason.contains("\"talk.mp3\"")) << trashed.reason.toStdString();
    EXPECT_TRUE(trashed.reason.contains("moved to the trash")) << trashed.reason.toStdString();
    EXPECT_EQ(Contents(Path("talk.mp3")), "earlier");

    // 14 frames play for a second: kept, however few bytes they take.
    const FilingResult kept = FileRecording(Recording(Mp3Frames(14)), Path("short.mp3"), smallFileRule);
    EXPECT_EQ(kept.outcome, FilingOutcome::Filed);
    EXPECT_EQ(Contents(Path("short.mp3")), Mp3Frames(14));

    // Bytes that do not play at all are judged the same way; without the rule they are kept.
    EXPECT_EQ(FileRecording(Recording(QByteArray(50000, 'r')), Path("noise.mp3"), smallFileRule).outcome,
              FilingOutcome::TrashedAsTooShort);
    EXPECT_EQ(FileRecording(Recording(QByteArray(50000, 'r')), Path("noise.mp3"), {}).outcome, FilingOutcome::Filed);

    // An empty file holds nothing to keep: it is removed whatever the rule.
    const QString empty = Recording(QByteArray());
    EXPECT_EQ(FileRecording(empty, Path("empty.mp3"), {}).outcome, FilingOutcome::DiscardedAsEmpty);
    EXPECT_FALSE(QFile::exists(empty));
    EXPECT_FALSE(QFile::exists(Path("empty.mp3")));
}

TEST_F(RecordingFilerTest, MissingRecordingLeavesTheDestinationAlone)
{
    WriteFile(Path("talk.mp3"), "earlier");
    const FilingResult result = FileRecording(Path("never-written"), Path("talk.mp3"), {});
    EXPECT_EQ(result.outcome, FilingOutcome::NothingRecorded);
    EXPECT_TRUE(result.path.isEmpty());
    EXPECT_FALSE(result.reason.isEmpty());
    EXPECT_EQ(Contents(Path("talk.mp3")), "earlier");

    // Filing a recording onto its own name is not a replacement of another file.
    const QString recorded = Recording();
    const FilingResult same = FileRecording(recorded, recorded, {});
    EXPECT_EQ(same.outcome, FilingOutcome::Filed);
    EXPECT_EQ(Contents(recorded).size(), 50000);
}

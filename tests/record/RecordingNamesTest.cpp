#include "record/RecordingNames.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace RecordingNames;

TEST(RecordingNamesTest, Mp3ExtensionRule)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {"talk.mp3", "talk.mp3"},
        {"talk.MP3", "talk.MP3"},
        {"talk.Mp3", "talk.Mp3"},
        {"talk.wav", "talk.mp3"},
        {"talk", "talk.mp3"},
        {"a.b", "a.b.mp3"},
        {"ab.c", "ab.c.mp3"},
        {"x.flac", "x.flac.mp3"},
        {".wav", ".mp3"},
        {"", ".mp3"},
        {"mp3", "mp3.mp3"},
        {"2026-12-07-09-05", "2026-12-07-09-05.mp3"},
        {"/Rec/Talk.WAV", "/Rec/Talk.mp3"},
        {"/rec.d/talk", "/rec.d/talk.mp3"},
        {QString::fromUtf8("Grüße.ogg"), QString::fromUtf8("Grüße.mp3")},
    };
    for (const auto& [name, expected] : cases) {
        EXPECT_EQ(WithMp3Extension(name), expected) << name.toStdString();
    }
}

TEST(RecordingNamesTest, OutputPathAndRecordFileTextFollowTheLocalMinute)
{
    const QDateTime at(QDate(2026, 12, 7), QTime(9, 5, 42));
    const QString output = OutputPath("/home/Ann/Rec/", at);
    EXPECT_EQ(output, "/home/Ann/Rec/2026-12-07-09-05");
    EXPECT_EQ(FileNamePart(output), "2026-12-07-09-05");
    EXPECT_EQ(DirectoryPart(output), "/home/Ann/Rec/");
    EXPECT_EQ(OutputPath("/r/", QDateTime(QDate(2027, 1, 2), QTime(23, 59, 59))), "/r/2027-01-02-23-59");

    EXPECT_EQ(RecordFileTextAtStart("", output), "2026-12-07-09-05.mp3");
    EXPECT_EQ(RecordFileTextAtStart("interview.wav", output), "interview.wav") << "the user's text stands";

    EXPECT_EQ(DestinationPath(output, ""), "/home/Ann/Rec/2026-12-07-09-05.mp3");
    EXPECT_EQ(DestinationPath(output, "2026-12-07-09-05.mp3"), "/home/Ann/Rec/2026-12-07-09-05.mp3");
    EXPECT_EQ(DestinationPath(output, "interview.wav"), "/home/Ann/Rec/interview.mp3");
    EXPECT_EQ(DestinationPath(output, "interview"), "/home/Ann/Rec/interview.mp3");
    EXPECT_EQ(DestinationPath(output, "Talk.MP3"), "/home/Ann/Rec/Talk.MP3");
    EXPECT_EQ(DestinationPath("no-folder", "talk"), "talk.mp3");
}

TEST(RecordingNamesTest, ContinuationNamesCountUp)
{
    QString text = "talk.mp3";
    for (int counter = 0; counter < 12; ++counter) {
        text = ContinuationText(text, counter);
    }
    EXPECT_EQ(text, "talk012.mp3");
    EXPECT_EQ(ContinuationText("talk.mp3", 0), "talk001.mp3");
    EXPECT_EQ(ContinuationText("talk001.mp3", 1), "talk002.mp3");
    EXPECT_EQ(ContinuationText("talk.MP3", 0), "talk001.mp3");
    EXPECT_EQ(ContinuationText("talk.wav", 0), "talk001.mp3");
    EXPECT_EQ(ContinuationText("2026-12-07-09-05.mp3", 0), "2026-12-07-09-05001.mp3");
    EXPECT_EQ(ContinuationText("talk999.mp3", 999), "talk1000.mp3");
    EXPECT_EQ(ContinuationText("talk1000.mp3", 1000), "talk1001.mp3");
    // Texts the sequence did not write itself keep every character of the name.
    EXPECT_EQ(ContinuationText("interview", 0), "interview001.mp3");
    EXPECT_EQ(ContinuationText("meeting.mp3", 2), "meeting003.mp3");
    EXPECT_EQ(ContinuationText("ab", 3), "ab004.mp3");
    EXPECT_EQ(ContinuationText("", 0), "001.mp3");
}

TEST(RecordingNamesTest, TemporaryFileIsNewEachTime)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QRegularExpression pattern("^Un[0-9A-F]{4}\\.tmp$");
    QSet<QString> names;
    for (int i = 0; i < 200; ++i) {
        const QString path = CreateUniqueTemporaryFile(folder.path()); // no trailing separator
        ASSERT_FALSE(path.isEmpty());
        EXPECT_EQ(DirectoryPart(path), folder.path() + "/");
        EXPECT_TRUE(pattern.match(FileNamePart(path)).hasMatch()) << path.toStdString();
        EXPECT_EQ(QFileInfo(path).size(), 0);
        names.insert(path);
    }
    EXPECT_EQ(names.size(), 200);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 200);

    EXPECT_TRUE(CreateUniqueTemporaryFile(folder.filePath("missing")).isEmpty());
    EXPECT_TRUE(CreateUniqueTemporaryFile("").isEmpty());
}

TEST(RecordingNamesTest, TemporaryFileFindsTheLastFreeNameAndNeverReusesOne)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString directory = folder.path() + "/";
    constexpr int kNames = 0x10000;
    constexpr int kFree = 0xBEEF;
    for (int number = 0; number < kNames; ++number) {
        if (number == kFree) {
            continue;
        }
        const QString name = QString("Un%1.tmp").arg(QString::number(number, 16).toUpper().rightJustified(4, '0'));
        QFile taken(directory + name);
        ASSERT_TRUE(taken.open(QIODevice::WriteOnly)) << name.toStdString();
        if (number == 0) {
            taken.write("keep"); // a file in the way is never reused or emptied
        }
    }
    EXPECT_EQ(CreateUniqueTemporaryFile(directory), directory + "UnBEEF.tmp");
    EXPECT_TRUE(CreateUniqueTemporaryFile(directory).isEmpty()) << "every name is taken";
    EXPECT_EQ(QFileInfo(directory + "Un0000.tmp").size(), 4);
}

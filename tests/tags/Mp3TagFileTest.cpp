// The tags of an MP3 file through TagLib and our ID3v1 codec, checked with the peer readers
// (id3v2 -l for ID3v2.3 and ID3v1, ffprobe for every kind) on real MP3 files made by lame.
#include "tags/Mp3TagFile.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/mount.h>

using namespace TestSupport;

namespace
{
// 128 ID3v1.1 tag bytes built by hand.
QByteArray Id3v1(const QByteArray& title, int track)
{
    QByteArray tag(128, '\0');
    tag.replace(0, 3, "TAG");
    tag.replace(3, title.size(), title);
    tag.replace(33, 10, "Old Artist");
    tag[126] = char(track);
    tag[127] = char(255);
    return tag;
}

// An APE v2 tag with header and footer, items as key and value.
QByteArray ApeTag(const std::vector<std::pair<QByteArray, QByteArray>>& items)
{
    const auto le32 = [](quint32 value) {
        QByteArray bytes;
        for (int i = 0; i < 4; ++i) {
            bytes += char((value >> (8 * i)) & 0xFF);
        }
        return bytes;
    };
    QByteArray body;
    for (const auto& [key, value] : items) {
        body += le32(quint32(value.size())) + le32(0) + key + QByteArray(1, '\0') + value;
    }
    const auto frame = [&](quint32 flags) {
        return QByteArray("APETAGEX") + le32(2000) + le32(quint32(body.size() + 32)) + le32(quint32(items.size())) +
               le32(flags) + QByteArray(8, '\0');
    };
    constexpr quint32 kHasHeader = 0x80000000u;
    constexpr quint32 kIsHeader = 0x20000000u;
    return frame(kHasHeader | kIsHeader) + body + frame(kHasHeader);
}

QString Id3v2List(const QString& path)
{
    return QString::fromUtf8(RunTool(QStringLiteral("id3v2"), {QStringLiteral("-l"), path}).out);
}

// ffprobe's view of the file's tags, one "key=value" a line.
QString ProbedTags(const QString& path)
{
    return QString::fromUtf8(
        RunTool(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("format_tags"), QStringLiteral("-of"), QStringLiteral("flat=h=0"), path})
            .out);
}

class Mp3TagFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        const QString wav = Path(QStringLiteral("tone.wav"));
        ASSERT_TRUE(WriteSimpleWav(wav, SinePcm(2, 44100, 1.0, 440.0), 2, 44100));
        const QString mp3 = Path(QStringLiteral("plain.mp3"));
        ASSERT_EQ(RunTool(QStringLiteral("lame"), {QStringLiteral("--quiet"), wav, mp3}).exitCode, 0);
        m_audio = ReadAll(mp3);
        ASSERT_GT(m_audio.size(), 4000);
    }

    QString Path(const QString& name) const { return m_dir.filePath(name); }
    QString Make(const QString& name, const QByteArray& bytes) const
    {
        const QString path = Path(name);
        EXPECT_TRUE(WriteAll(path, bytes));
        return path;
    }
    static bool Plays(const QString& path)
    {
        return RunTool(QStringLiteral("mpg123"), {QStringLiteral("-q"), QStringLiteral("-t"), path}).exitCode == 0;
    }

    QTemporaryDir m_dir;
    QByteArray m_audio;
};

class Mp3TagFileVersionTest : public Mp3TagFileTest, public ::testing::WithParamInterface<int>
{
};

// An ID3v2 tag of either version is updated in its own version: the edited fields change in it
// and in the ID3v1 tag alike, a track kept as "5/12" stays so, and cover art, lyrics and replay
// gain are still there. The audio is untouched, and Remove takes both tags.
TEST_P(Mp3TagFileVersionTest, SaveUpdatesBothTagsAndKeepsFramesItDoesNotEdit)
{
    const int version = GetParam();
    const QByteArray picture = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(64, 'p');
    const QByteArray id3v2 = Id3v2Tag(version, {{"TIT2", Id3v2Text("Old Title")},
                                                {"TPE1", Id3v2Text("Old Artist")},
                                                {"TRCK", Id3v2Text("5/12")},
                                                {"APIC", Id3v2Picture("image/png", picture)},
                                                {"USLT", Id3v2LanguageText("la la la")},
                                                {"TXXX", Id3v2UserText("REPLAYGAIN_TRACK_GAIN", "-3.20 dB")}});
    const QString path = Make(QStringLiteral("song.mp3"), id3v2 + m_audio + Id3v1("Old Title", 5));

    const std::optional<CMp3TagFile::Reading> before = CMp3TagFile::Read(path);
    ASSERT_TRUE(before);
    EXPECT_EQ(before->FoundTags(), (QStringList{QStringLiteral("ID3v2.%1").arg(version), QStringLiteral("ID3v1")}));
    EXPECT_EQ(before->fields.title, QStringLiteral("Old Title"));
    EXPECT_EQ(before->fields.track, 5);

    TagFields fields = before->fields;
    fields.title = QStringLiteral("New Title");
    fields.album = QStringLiteral("Album");
    fields.comment = QStringLiteral("note");
    fields.genre = QStringLiteral("Jazz");
    QString problem;
    ASSERT_TRUE(CMp3TagFile::Write(path, fields, &problem)) << problem.toStdString();

    const QByteArray after = ReadAll(path);
    EXPECT_EQ(after.at(3), char(version));
    EXPECT_TRUE(after.contains(m_audio));
    EXPECT_TRUE(after.contains(picture));
    EXPECT_TRUE(Plays(path));
    const QString probed = ProbedTags(path);
    for (const char* expected :
         {"title=\"New Title\"", "artist=\"Old Artist\"", "album=\"Album\"", "comment=\"note\"", "genre=\"Jazz\"",
          "track=\"5/12\"", "la la la", "REPLAYGAIN_TRACK_GAIN=\"-3.20 dB\""}) {
        EXPECT_TRUE(probed.contains(QLatin1String(expected))) << expected << "\n" << probed.toStdString();
    }
    const QString listed = Id3v2List(path);
    for (const char* expected : {"Title  : New Title", "Artist: Old Artist", "Album  : Album", "Comment: note",
                                 "Genre: Jazz (8)", "Track: 5"}) {
        EXPECT_TRUE(listed.contains(QLatin1String(expected))) << expected << "\n" << listed.toStdString();
    }
    if (version == 3) { // id3lib reads 2.3 tags only
        for (const char* expected :
             {"TIT2 (Title/songname/content description): New Title", "TRCK (Track number/Position in set): 5/12",
              "APIC (Attached picture)", "USLT (Unsynchronized lyric/text transcription)",
              "TXXX (User defined text information): (REPLAYGAIN_TRACK_GAIN): -3.20 dB"}) {
            EXPECT_TRUE(listed.contains(QLatin1String(expected))) << expected << "\n" << listed.toStdString();
        }
    }
    EXPECT_EQ(CMp3TagFile::Read(path)->fields, fields);

    ASSERT_TRUE(CMp3TagFile::Remove(path, &problem)) << problem.toStdString();
    EXPECT_EQ(ReadAll(path), m_audio);
}

INSTANTIATE_TEST_SUITE_P(Id3v2Versions, Mp3TagFileVersionTest, ::testing::Values(3, 4));

// A file with only an ID3v1 tag is read from it and gets an ID3v2.3 tag on saving, which keeps
// what the ID3v1 fields are too short for; reading then prefers the ID3v2 tag.
TEST_F(Mp3TagFileTest, AFileWithoutId3v2GetsOneThatHoldsWhatId3v1Cannot)
{
    const QString path = Make(QStringLiteral("old.mp3"), m_audio + Id3v1("Short", 3));
    std::optional<CMp3TagFile::Reading> reading = CMp3TagFile::Read(path);
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->FoundTags(), QStringList{QStringLiteral("ID3v1")});
    EXPECT_EQ(reading->fields.title, QStringLiteral("Short"));
    EXPECT_EQ(reading->fields.artist, QStringLiteral("Old Artist"));
    EXPECT_EQ(reading->fields.track, 3);

    const QString longTitle = QStringLiteral("A title far longer than thirty bytes");
    reading->fields.title = longTitle;
    ASSERT_TRUE(CMp3TagFile::Write(path, reading->fields));
    EXPECT_TRUE(ReadAll(path).startsWith(QByteArray("ID3\x03", 4)));
    const QString listed = Id3v2List(path);
    EXPECT_TRUE(listed.contains(QStringLiteral("TIT2 (Title/songname/content description): ") + longTitle))
        << listed.toStdString();
    EXPECT_TRUE(listed.contains(QStringLiteral("Title  : ") + longTitle.left(30) + QStringLiteral("  Artist")))
        << listed.toStdString();
    EXPECT_TRUE(listed.contains(QStringLiteral("TRCK (Track number/Position in set): 3"))) << listed.toStdString();
    reading = CMp3TagFile::Read(path);
    EXPECT_EQ(reading->FoundTags(), (QStringList{QStringLiteral("ID3v2.3"), QStringLiteral("ID3v1")}));
    EXPECT_EQ(reading->fields.title, longTitle);
    EXPECT_TRUE(Plays(path));
}

// An APE tag is read when there is no ID3v2 tag, updated with the others, keeps its other items,
// and goes with them on Remove.
TEST_F(Mp3TagFileTest, AnApeTagIsReadUpdatedAndRemoved)
{
    const QByteArray ape = ApeTag({{"Title", "Ape Title"}, {"Artist", "Ape Artist"}, {"Lyricist", "Someone"}});
    const QString path = Make(QStringLiteral("ape.mp3"), m_audio + ape + Id3v1("Old", 0));
    std::optional<CMp3TagFile::Reading> reading = CMp3TagFile::Read(path);
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->FoundTags(), (QStringList{QStringLiteral("APE"), QStringLiteral("ID3v1")}));
    EXPECT_EQ(reading->fields.title, QStringLiteral("Ape Title"));

    reading->fields.title = QStringLiteral("New");
    ASSERT_TRUE(CMp3TagFile::Write(path, reading->fields));
    const QByteArray after = ReadAll(path);
    const qsizetype apeStart = after.indexOf("APETAGEX");
    ASSERT_GE(apeStart, 0);
    const QByteArray apePart = after.mid(apeStart, after.size() - 128 - apeStart);
    // APE keys are case-insensitive; TagLib writes the ones it knows in capitals.
    EXPECT_TRUE(apePart.toUpper().contains(QByteArray("TITLE\0NEW", 9))) << apePart.toHex().constData();
    EXPECT_TRUE(apePart.contains(QByteArray("Lyricist\0Someone", 16)));
    EXPECT_TRUE(Id3v2List(path).contains(QStringLiteral("Title  : New "))) << Id3v2List(path).toStdString();
    EXPECT_TRUE(ProbedTags(path).contains(QStringLiteral("title=\"New\""))) << ProbedTags(path).toStdString();
    EXPECT_TRUE(Plays(path));

    ASSERT_TRUE(CMp3TagFile::Remove(path));
    EXPECT_EQ(ReadAll(path), m_audio);
}

// A save that cannot be completed leaves the file exactly as it was: read-only, gone meanwhile,
// or on a disk that fills up half-way.
TEST_F(Mp3TagFileTest, AFailedSaveLeavesTheFileAsItWas)
{
    TagFields fields;
    fields.title = QStringLiteral("Never written");

    const QString readOnly = Make(QStringLiteral("readonly.mp3"), m_audio + Id3v1("Kept", 1));
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
    QString problem;
    EXPECT_FALSE(CMp3TagFile::Write(readOnly, fields, &problem));
    EXPECT_TRUE(problem.contains(QStringLiteral("read-only"))) << problem.toStdString();
    EXPECT_FALSE(CMp3TagFile::Remove(readOnly));
    EXPECT_EQ(ReadAll(readOnly), m_audio + Id3v1("Kept", 1));

    const QString gone = Path(QStringLiteral("gone.mp3"));
    EXPECT_FALSE(CMp3TagFile::Write(gone, fields, &problem));
    EXPECT_FALSE(QFile::exists(gone));

    // A small file system of our own that the new file cannot fit on.
    const QString mountPoint = Path(QStringLiteral("small"));
    ASSERT_TRUE(QDir().mkpath(mountPoint));
    const QByteArray target = QFile::encodeName(mountPoint);
    if (::mount("tmpfs", target.constData(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "no tmpfs can be mounted here; the full-disk case is not checked";
    }
    const QString full = mountPoint + QStringLiteral("/full.mp3");
    const QByteArray original = m_audio.left(20000) + Id3v1("Kept", 1);
    EXPECT_TRUE(WriteAll(full, original));
    QByteArray filler;
    for (qsizetype chunk = 4096; chunk > 0; chunk /= 2) {
        QFile pad(mountPoint + QStringLiteral("/pad%1").arg(chunk));
        if (pad.open(QIODevice::WriteOnly)) {
            while (pad.write(QByteArray(chunk, 'x')) == chunk && pad.flush()) {
            }
        }
    }
    EXPECT_FALSE(CMp3TagFile::Write(full, fields, &problem));
    EXPECT_FALSE(problem.isEmpty());
    EXPECT_EQ(ReadAll(full), original);
    EXPECT_EQ(QDir(mountPoint).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".sorvane-")),
              QStringList());
    ::umount2(target.constData(), MNT_DETACH);
}
} // namespace

#include "tags/Id3v1Tag.h"

#include "support/TestSupport.h"
#include "tags/GenreTable.h"

#include <QCryptographicHash>
#include <QRegularExpression>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace
{
using TestSupport::ReadAll;
using TestSupport::RunTool;
using TestSupport::WriteAll;

// Stand-in audio: bytes that never start with "TAG" in their last 128.
QByteArray FakeAudio(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(0x41 + (i * 7) % 23);
    }
    return bytes;
}

QByteArray Sha256Prefix(const QString& path, qsizetype length)
{
    return QCryptographicHash::hash(ReadAll(path).left(length), QCryptographicHash::Sha256);
}

class Id3v1TagTest : public ::testing::Test
{
protected:
    QString PathOf(const QString& name) const { return m_dir.filePath(name); }

    QString WriteFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = PathOf(name);
        EXPECT_TRUE(WriteAll(path, bytes));
        return path;
    }

    QTemporaryDir m_dir;
};

TEST_F(Id3v1TagTest, Version11TagReadsTrackAndRoundTripsByteForByte)
{
    QByteArray tag(CId3v1Tag::kTagSize, '\0');
    tag.replace(0, 3, "TAG");
    tag.replace(3, 5, "Title");
    tag.replace(33, 6, "Singer");
    tag.replace(63, 5, "Disc1");
    tag.replace(93, 4, "2001");
    tag.replace(97, 28, QByteArray(28, 'c'));
    tag[126] = 7;
    tag[127] = 17;
    const QString path = WriteFile("v11.mp3", FakeAudio(1000) + tag);

    CId3v1Tag id3;
    ASSERT_TRUE(id3.LoadTag(path, false));
    EXPECT_EQ(id3.GetTitle(), "Title");
    EXPECT_EQ(id3.GetArtist(), "Singer");
    EXPECT_EQ(id3.GetAlbum(), "Disc1");
    EXPECT_EQ(id3.GetYear(), "2001");
    EXPECT_EQ(id3.GetComment(), QByteArray(28, 'c'));
    EXPECT_EQ(id3.Track(), 7);
    EXPECT_EQ(id3.Genre(), 17);
    EXPECT_EQ(id3.FileName(), path);
    EXPECT_EQ(id3.Duration(), 0);

    ASSERT_TRUE(id3.WriteTag(QString(), false)); // the stored name
    const QByteArray after = ReadAll(path);
    EXPECT_EQ(after.size(), 1128);
    EXPECT_EQ(after.right(128), tag);
}

TEST_F(Id3v1TagTest, FullThirtyByteCommentMeansNoTrack)
{
    QByteArray tag(CId3v1Tag::kTagSize, '\0');
    tag.replace(0, 3, "TAG");
    tag.replace(97, 30, "abcdefghijklmnopqrstuvwxyz0123");
    tag[127] = static_cast<char>(200);
    const QString path = WriteFile("v10.mp3", FakeAudio(500) + tag);

    CId3v1Tag id3;
    ASSERT_TRUE(id3.LoadTag(path, false));
    EXPECT_EQ(id3.GetComment(), "abcdefghijklmnopqrstuvwxyz0123");
    EXPECT_EQ(id3.Track(), 0);
    EXPECT_EQ(id3.Genre(), 200);
}

TEST_F(Id3v1TagTest, FilesWithoutTagLeaveFieldsReset)
{
    QByteArray lowerCase = FakeAudio(300);
    lowerCase.replace(300 - 128, 3, "tag");
    const QString shortFile = WriteFile("short.mp3", "TAG" + QByteArray(100, 'x'));
    const QString empty = WriteFile("empty.mp3", QByteArray());
    for (const QString& path : {WriteFile("lower.mp3", lowerCase), shortFile, empty}) {
        CId3v1Tag id3;
        id3.SetTitle("stale");
        ASSERT_TRUE(id3.LoadTag(path, false)) << path.toStdString();
        EXPECT_TRUE(id3.GetTitle().isEmpty());
        EXPECT_EQ(id3.Genre(), CId3v1Tag::kNoGenre);
        EXPECT_EQ(id3.Track(), 0);
        EXPECT_EQ(id3.FileName(), path);
    }

    CId3v1Tag missing;
    missing.SetArtist("stale");
    EXPECT_FALSE(missing.LoadTag(PathOf("missing.mp3"), true));
    EXPECT_TRUE(missing.GetArtist().isEmpty());
    EXPECT_TRUE(missing.FileName().isEmpty());
    EXPECT_FALSE(missing.LoadTag(m_dir.path(), false));
}

TEST_F(Id3v1TagTest, WriteRewriteRemoveTouchOnlyTheTagBytes)
{
    const QByteArray audio = FakeAudio(4000);
    const QString path = WriteFile("song.mp3", audio);
    const QByteArray audioHash = Sha256Prefix(path, audio.size());

    CId3v1Tag id3;
    id3.SetTitle("First");
    id3.SetGenre(3);
    ASSERT_TRUE(id3.WriteTag(path, false));
    EXPECT_EQ(QFileInfo(path).size(), audio.size() + 128);

    id3.SetTitle("Second");
    ASSERT_TRUE(id3.WriteTag(path, false));
    EXPECT_EQ(QFileInfo(path).size(), audio.size() + 128);
    EXPECT_EQ(Sha256Prefix(path, audio.size()), audioHash);
    CId3v1Tag reread;
    ASSERT_TRUE(reread.LoadTag(path, false));
    EXPECT_EQ(reread.GetTitle(), "Second");
    EXPECT_EQ(reread.Genre(), 3);

    ASSERT_TRUE(id3.WriteTag(path, true));
    EXPECT_EQ(ReadAll(path), audio);
    ASSERT_TRUE(id3.WriteTag(path, true)); // nothing left to remove: still a success
    EXPECT_EQ(ReadAll(path), audio);

    // Removing from a file that is not there creates nothing; writing creates the file.
    EXPECT_FALSE(id3.WriteTag(PathOf("absent.mp3"), true));
    EXPECT_FALSE(QFile::exists(PathOf("absent.mp3")));
    ASSERT_TRUE(id3.WriteTag(PathOf("new.mp3"), false));
    EXPECT_EQ(QFileInfo(PathOf("new.mp3")).size(), 128);

    CId3v1Tag nothingLoaded;
    EXPECT_FALSE(nothingLoaded.WriteTag(QString(), false));
}

TEST_F(Id3v1TagTest, FailedAppendLeavesTheFileAsItWas)
{
    // A file-size limit just past the audio makes the append stop half-way, like a full disk.
    const QByteArray audio = FakeAudio(3000);
    const QString path = WriteFile("full.mp3", audio);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit limited = previous;
    limited.rlim_cur = static_cast<rlim_t>(audio.size() + 50);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);

    CId3v1Tag id3;
    id3.SetTitle("never stored");
    const bool written = id3.WriteTag(path, false);

    setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(ReadAll(path), audio);
}

TEST_F(Id3v1TagTest, FieldsAreCutToTheirWidthsAndTrackClamped)
{
    const QString path = WriteFile("wide.mp3", FakeAudio(200));
    CId3v1Tag id3;
    id3.SetTitle(QByteArray(31, 't') + "overflow");
    id3.SetArtist(QByteArray(30, 'a'));
    id3.SetYear("19999");
    id3.SetComment(QByteArray(30, 'c'));
    id3.SetTrack(300);
    ASSERT_TRUE(id3.WriteTag(path, false));
    QByteArray tag = ReadAll(path).right(128);
    EXPECT_EQ(tag.mid(3, 30), QByteArray(30, 't'));
    EXPECT_EQ(tag.mid(33, 30), QByteArray(30, 'a')); // exactly the width: no terminator
    EXPECT_EQ(tag.mid(93, 4), "1999");
    EXPECT_EQ(tag.mid(97, 30), QByteArray(28, 'c') + QByteArray(1, '\0') + QByteArray(1, '\xFF'));
    EXPECT_EQ(static_cast<std::uint8_t>(tag[127]), 255);

    CId3v1Tag reread;
    ASSERT_TRUE(reread.LoadTag(path, false));
    EXPECT_EQ(reread.GetTitle(), QByteArray(30, 't'));
    EXPECT_EQ(reread.GetYear(), "1999");
    EXPECT_EQ(reread.Track(), 255);

    id3.SetTrack(-5);
    ASSERT_TRUE(id3.WriteTag(path, false));
    tag = ReadAll(path).right(128);
    EXPECT_EQ(tag[125], '\0');
    EXPECT_EQ(tag[126], '\0');

    id3.SetTrack(0); // no track: the comment keeps all 30 bytes
    ASSERT_TRUE(id3.WriteTag(path, false));
    EXPECT_EQ(ReadAll(path).right(128).mid(97, 30), QByteArray(30, 'c'));
}

TEST_F(Id3v1TagTest, ExactDurationOnlyWhenAsked)
{
    // 10 s of 8-bit mono at 8000 bytes per second.
    QByteArray wav("RIFF\0\0\0\0WAVEfmt ", 16);
    const char format[] = {16, 0, 0, 0, 1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x40, 0x1F, 0, 0, 1, 0, 8, 0};
    wav.append(format, sizeof(format));
    wav.append("data", 4);
    const char dataSize[] = {static_cast<char>(0x80), 0x38, 0x01, 0};
    wav.append(dataSize, 4);
    wav.append(QByteArray(80000, '\x80'));
    const QString path = WriteFile("ten.wav", wav);

    CId3v1Tag id3;
    ASSERT_TRUE(id3.LoadTag(path, false));
    EXPECT_EQ(id3.Duration(), 0);
    ASSERT_TRUE(id3.LoadTag(path, true));
    EXPECT_EQ(id3.Duration(), 10);
    EXPECT_EQ(CId3v1Tag(path).Duration(), 10);
}

TEST(FormatMinSecTest, MinutesAreNotPadded)
{
    EXPECT_EQ(FormatMinSec(0), "0:00");
    EXPECT_EQ(FormatMinSec(59), "0:59");
    EXPECT_EQ(FormatMinSec(75), "1:15");
    EXPECT_EQ(FormatMinSec(3600), "60:00");
}

TEST(GenreTableTest, NamesAndLookups)
{
    EXPECT_EQ(GenreTable::kGenreCount, 148);
    EXPECT_STREQ(GenreTable::NameOf(0), "Blues");
    EXPECT_STREQ(GenreTable::NameOf(67), "Psychadelic");
    EXPECT_STREQ(GenreTable::NameOf(118), "Rhytmic Soul");
    EXPECT_STREQ(GenreTable::NameOf(147), "SynthPop");
    EXPECT_EQ(GenreTable::NameOf(148), nullptr);
    EXPECT_EQ(GenreTable::NameOf(GenreTable::kNoGenre), nullptr);
    EXPECT_EQ(GenreTable::NameOf(-1), nullptr);
    EXPECT_EQ(GenreTable::NumberOf("rock & roll"), 78);
    EXPECT_EQ(GenreTable::NumberOf("SYNTHPOP"), 147);
    EXPECT_EQ(GenreTable::NumberOf("Polka Dot"), -1);
}

// Peer checks: tags we write read back in id3v2, and tags id3v2 writes read back here.
class Id3v1PeerTest : public Id3v1TagTest
{
protected:
    void SetUp() override
    {
        if (!TestSupport::ToolAvailable("id3v2") || !TestSupport::ToolAvailable("lame")) {
            GTEST_SKIP() << "id3v2 or lame missing";
        }
        const QString wav = PathOf("tone.wav");
        ASSERT_TRUE(TestSupport::WriteSimpleWav(wav, TestSupport::SinePcm(1, 22050, 1.0, 440.0), 1, 22050));
        m_mp3 = PathOf("tone.mp3");
        ASSERT_EQ(RunTool("lame", {"--quiet", wav, m_mp3}).exitCode, 0);
    }

    // id3v2 -l prints fixed-width columns; each value runs to the next label or the line end.
    QString Listed(const QString& listing, const QString& label, const QString& nextLabel = QString())
    {
        const QString next = nextLabel.isEmpty() ? QStringLiteral("$") : QRegularExpression::escape(nextLabel);
        const QRegularExpression pattern(QRegularExpression::escape(label) + QStringLiteral(" *: (.*?)\\s*(?:") + next +
                                             QStringLiteral(")"),
                                         QRegularExpression::MultilineOption);
        return pattern.match(listing).captured(1);
    }

    QString m_mp3;
};

TEST_F(Id3v1PeerTest, PeerReadsOurTag)
{
    const QByteArray audioHash = Sha256Prefix(m_mp3, QFileInfo(m_mp3).size());
    CId3v1Tag id3;
    id3.SetTitle("Evening Song");
    id3.SetArtist("The Recorders");
    id3.SetAlbum("Live Takes");
    id3.SetYear("1987");
    id3.SetComment("made by sorvane");
    id3.SetTrack(12);
    id3.SetGenre(17);
    ASSERT_TRUE(id3.WriteTag(m_mp3, false));

    const QString listing = QString::fromUtf8(RunTool("id3v2", {"-l", m_mp3}).out);
    EXPECT_EQ(Listed(listing, "Title", "Artist:"), "Evening Song") << listing.toStdString();
    EXPECT_EQ(Listed(listing, "Artist"), "The Recorders");
    EXPECT_EQ(Listed(listing, "Album", "Year:"), "Live Takes");
    EXPECT_EQ(Listed(listing, "Year", ","), "1987");
    EXPECT_TRUE(listing.contains("(17)"));
    EXPECT_EQ(Listed(listing, "Comment", "Track:"), "made by sorvane");
    EXPECT_EQ(Listed(listing, "Track"), "12");

    const qint64 audioSize = QFileInfo(m_mp3).size() - 128;
    EXPECT_EQ(Sha256Prefix(m_mp3, audioSize), audioHash);
    ASSERT_TRUE(id3.WriteTag(m_mp3, true));
    EXPECT_EQ(Sha256Prefix(m_mp3, QFileInfo(m_mp3).size()), audioHash);
    EXPECT_FALSE(QString::fromUtf8(RunTool("id3v2", {"-l", m_mp3}).out).contains("id3v1 tag info"));
}

TEST_F(Id3v1PeerTest, WeReadPeerTag)
{
    ASSERT_EQ(RunTool("id3v2", {"-1", "-t", "Peer Title", "-a", "Peer Artist", "-A", "Peer Album", "-y", "2004", "-c",
                                "peer comment", "-T", "9", "-g", "80", m_mp3})
                  .exitCode,
              0);
    CId3v1Tag id3;
    ASSERT_TRUE(id3.LoadTag(m_mp3, true));
    EXPECT_EQ(id3.GetTitle(), "Peer Title");
    EXPECT_EQ(id3.GetArtist(), "Peer Artist");
    EXPECT_EQ(id3.GetAlbum(), "Peer Album");
    EXPECT_EQ(id3.GetYear(), "2004");
    EXPECT_EQ(id3.GetComment(), "peer comment");
    EXPECT_EQ(id3.Track(), 9);
    EXPECT_EQ(id3.Genre(), 80);
    EXPECT_EQ(id3.Duration(), 1);
}
} // namespace

// Tags through sorvane-cli: info --json, and the jobs that carry tags to their outputs, checked
// with the peer readers (id3v2 -l, ffprobe).
#include "support/TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace TestSupport;

namespace
{
QByteArray Id3v1(const QByteArray& title, int track)
{
    QByteArray tag(128, '\0');
    tag.replace(0, 3, "TAG");
    tag.replace(3, title.size(), title);
    tag[126] = char(track);
    tag[127] = char(255);
    return tag;
}

QByteArray Le32(quint32 value)
{
    QByteArray bytes;
    for (int i = 0; i < 4; ++i) {
        bytes += char((value >> (8 * i)) & 0xFF);
    }
    return bytes;
}

QString Id3v2List(const QString& path)
{
    return QString::fromUtf8(RunTool(QStringLiteral("id3v2"), {QStringLiteral("-l"), path}).out);
}

QString ProbedTags(const QString& path)
{
    return QString::fromUtf8(
        RunTool(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                 QStringLiteral("format_tags"), QStringLiteral("-of"), QStringLiteral("flat=h=0"), path})
            .out);
}

class TagCarryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("SORVANE_DATA_DIR", QFile::encodeName(m_dir.filePath(QStringLiteral("data"))));
    }

    QString Path(const QString& name) const { return m_dir.filePath(name); }
    static ToolResult RunCli(const QStringList& arguments)
    {
        return RunTool(BinaryDirectory() + QStringLiteral("/sorvane-cli"), arguments);
    }
    QString MakeWav(const QString& name, double seconds) const
    {
        const QString path = Path(name);
        EXPECT_TRUE(WriteSimpleWav(path, SinePcm(2, 44100, seconds, 440.0), 2, 44100));
        return path;
    }
    // A lame-made MP3 with an ID3v2.3 tag (title, artist, track, cover) and an ID3v1 tag.
    QString MakeTaggedMp3(const QString& name, const QByteArray& title, double seconds) const
    {
        const QString path = Path(name);
        EXPECT_EQ(RunTool(QStringLiteral("lame"),
                          {QStringLiteral("--quiet"), MakeWav(name + QStringLiteral(".wav"), seconds), path})
                      .exitCode,
                  0);
        const QByteArray tag = Id3v2Tag(3, {{"TIT2", Id3v2Text(title)},
                                            {"TPE1", Id3v2Text("Host")},
                                            {"TRCK", Id3v2Text("4")},
                                            {"APIC", Id3v2Picture("image/png", QByteArray(40, 'p'))}});
        EXPECT_TRUE(WriteAll(path, tag + ReadAll(path) + Id3v1(title, 4)));
        return path;
    }

    QTemporaryDir m_dir;
};

TEST_F(TagCarryTest, InfoJsonIsOneObjectWithTheStreamAndTagFields)
{
    const QString mp3 = MakeTaggedMp3(QStringLiteral("show.mp3"), "Morning Show", 1.0);
    const ToolResult result = RunCli({QStringLiteral("info"), mp3, QStringLiteral("--json")});
    ASSERT_EQ(result.exitCode, 0) << result.err.constData();
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(result.out, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << result.out.constData();
    ASSERT_TRUE(document.isObject());
    const QJsonObject info = document.object();
    EXPECT_NEAR(info.value(QStringLiteral("length_ms")).toDouble(),
                FfprobeField(mp3, QStringLiteral("duration")).toDouble() * 1000, 80);
    EXPECT_EQ(info.value(QStringLiteral("bitrate_kbps")).toInt(), 128);
    EXPECT_EQ(info.value(QStringLiteral("sample_rate")).toInt(), 44100);
    EXPECT_EQ(info.value(QStringLiteral("channels")).toInt(), 2);
    EXPECT_EQ(info.value(QStringLiteral("title")).toString(), QStringLiteral("Morning Show"));
    EXPECT_EQ(info.value(QStringLiteral("artist")).toString(), QStringLiteral("Host"));
    EXPECT_EQ(info.value(QStringLiteral("track")).toInt(), 4);
    EXPECT_EQ(info.value(QStringLiteral("tags")).toArray(),
              (QJsonArray{QStringLiteral("ID3v2.3"), QStringLiteral("ID3v1")}));

    const QString text = QString::fromUtf8(RunCli({QStringLiteral("info"), mp3}).out);
    EXPECT_TRUE(text.contains(QStringLiteral("Tags:     ID3v2.3, ID3v1"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Title:    Morning Show"))) << text.toStdString();
}

// Re-encoding keeps both tags whole; split parts get the source's fields with their part number
// as the track; a join gets its first file's; a WAV's INFO title and artist go into the MP3.
TEST_F(TagCarryTest, JobsCarryTagsToTheirOutputs)
{
    const QString source = MakeTaggedMp3(QStringLiteral("show.mp3"), "Morning Show", 3.0);
    const QString other = MakeTaggedMp3(QStringLiteral("other.mp3"), "Evening Show", 1.0);
    const QString reencoded = MakeTaggedMp3(QStringLiteral("again.mp3"), "Morning Show", 1.0);
    const QByteArray oldTag = ReadAll(reencoded).left(ReadAll(reencoded).indexOf("\xFF\xFB"));

    ToolResult result =
        RunCli({QStringLiteral("reencode"), reencoded, QStringLiteral("--bitrate"), QStringLiteral("64")});
    ASSERT_EQ(result.exitCode, 0) << result.err.constData();
    EXPECT_TRUE(ReadAll(reencoded).startsWith(oldTag));
    EXPECT_TRUE(ReadAll(reencoded).endsWith(Id3v1("Morning Show", 4)));

    result = RunCli({QStringLiteral("split"), source, QStringLiteral("--parts"), QStringLiteral("3")});
    ASSERT_EQ(result.exitCode, 0) << result.err.constData();
    for (int part = 1; part <= 3; ++part) {
        const QString partPath = Path(QStringLiteral("show_%1.mp3").arg(part));
        const QString listed = Id3v2List(partPath);
        EXPECT_TRUE(listed.contains(QStringLiteral("TIT2 (Title/songname/content description): Morning Show")))
            << listed.toStdString();
        EXPECT_TRUE(listed.contains(QStringLiteral("TRCK (Track number/Position in set): %1").arg(part)))
            << listed.toStdString();
        EXPECT_TRUE(listed.contains(QStringLiteral("Track: %1").arg(part))) << listed.toStdString();
        EXPECT_TRUE(listed.contains(QStringLiteral("Title  : Morning Show"))) << listed.toStdString();
    }

    const QString joined = Path(QStringLiteral("joined.mp3"));
    result = RunCli({QStringLiteral("join"), joined, other, source});
    ASSERT_EQ(result.exitCode, 0) << result.err.constData();
    const QString joinedTags = ProbedTags(joined);
    EXPECT_TRUE(joinedTags.contains(QStringLiteral("title=\"Evening Show\""))) << joinedTags.toStdString();
    EXPECT_TRUE(Id3v2List(joined).contains(QStringLiteral("Title  : Evening Show")));

    // A WAV with a LIST/INFO chunk behind its samples.
    const QString wav = MakeWav(QStringLiteral("talk.wav"), 1.0);
    const QByteArray info = QByteArray("INFO") + "INAM" + Le32(11) + QByteArray("Wave Title\0\0", 12) + "IART" +
                            Le32(12) + QByteArray("Wave Artist\0", 12);
    QByteArray wavBytes = ReadAll(wav) + "LIST" + Le32(quint32(info.size())) + info;
    wavBytes.replace(4, 4, Le32(quint32(wavBytes.size() - 8)));
    ASSERT_TRUE(WriteAll(wav, wavBytes));
    const QString converted = Path(QStringLiteral("talk.mp3"));
    result = RunCli({QStringLiteral("wav2mp3"), wav, converted});
    ASSERT_EQ(result.exitCode, 0) << result.err.constData();
    const QString convertedTags = ProbedTags(converted);
    EXPECT_TRUE(convertedTags.contains(QStringLiteral("title=\"Wave Title\""))) << convertedTags.toStdString();
    EXPECT_TRUE(convertedTags.contains(QStringLiteral("artist=\"Wave Artist\""))) << convertedTags.toStdString();
    const QString listed = Id3v2List(converted);
    EXPECT_TRUE(listed.contains(QStringLiteral("Title  : Wave Title"))) << listed.toStdString();
    EXPECT_TRUE(listed.contains(QStringLiteral("Artist: Wave Artist"))) << listed.toStdString();
}
} // namespace

#include "cli/InfoCommand.h"

#include "cli/CliArguments.h"
#include "codec/FileByteSource.h"
#include "codec/MediaLength.h"
#include "codec/Mp3Decoding.h"
#include "codec/WaveFile.h"
#include "tags/GenreTable.h"
#include "tags/Id3v1Tag.h"
#include "tags/Mp3TagFile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace
{
constexpr int kMsPerSecond = 1000;
constexpr int kBitsPerKilobit = 1000;
constexpr int kBitsPerByte = 8;
constexpr const char* kWaveInfoTagName = "RIFF INFO";

// What the first decodable frame of an MP3 says about the stream.
struct FirstFrame
{
    int bitrateKbps = 0;
    int sampleRate = 0;
    int channels = 0;
};

FirstFrame ProbeFirstFrame(const QString& path)
{
    FirstFrame first;
    CFileByteSource file;
    if (!file.Open(path)) {
        return first;
    }
    auto sink = MakeFrameSink([&first](const Mp3FrameHeader& header, const DecodedPcm& pcm) {
        first.bitrateKbps = static_cast<int>(header.bitrate / kBitsPerKilobit);
        first.sampleRate = static_cast<int>(header.sampleRate);
        first.channels = pcm.channels;
        return FrameFlow::Stop;
    });
    // Leaves any running operation's encoder alone: a probe is no part of that operation.
    DecodeMp3(file, sink);
    return first;
}

struct FileFacts
{
    bool isWave = false;
    std::int64_t lengthMs = 0;
    int bitrateKbps = 0;
    int sampleRate = 0;
    int channels = 0;
    QString waveFormat; // a WAV's format line
    QStringList tagsFound;
    TagFields fields;
};

QString GenreText(const QString& genre)
{
    if (genre.isEmpty()) {
        return QStringLiteral("none");
    }
    const int number = GenreTable::NumberOf(genre);
    return number >= 0 ? QStringLiteral("%1 (%2)").arg(number).arg(QLatin1String(GenreTable::NameOf(number))) : genre;
}

QStringList TextLines(const QString& path, const FileFacts& facts)
{
    QStringList lines;
    lines << QStringLiteral("File:     %1").arg(path);
    lines << QStringLiteral("Length:   %1 (%2 ms)")
                 .arg(FormatMinSec(static_cast<int>(facts.lengthMs / kMsPerSecond)))
                 .arg(facts.lengthMs);
    if (facts.isWave) {
        lines << QStringLiteral("Format:   %1").arg(facts.waveFormat);
    } else {
        lines << QStringLiteral("Bit rate: %1 kbps (first frame)").arg(facts.bitrateKbps);
        lines << QStringLiteral("Format:   MP3, %1 channel(s), %2 Hz").arg(facts.channels).arg(facts.sampleRate);
    }
    lines << QStringLiteral("Tags:     %1")
                 .arg(facts.tagsFound.isEmpty() ? QStringLiteral("none") : facts.tagsFound.join(QStringLiteral(", ")));
    if (facts.tagsFound.isEmpty()) {
        return lines;
    }
    const TagFields& fields = facts.fields;
    lines << QStringLiteral("Title:    %1").arg(fields.title);
    lines << QStringLiteral("Artist:   %1").arg(fields.artist);
    lines << QStringLiteral("Album:    %1").arg(fields.album);
    lines << QStringLiteral("Year:     %1").arg(fields.year);
    lines << QStringLiteral("Comment:  %1").arg(fields.comment);
    lines << QStringLiteral("Track:    %1").arg(fields.track);
    lines << QStringLiteral("Genre:    %1").arg(GenreText(fields.genre));
    return lines;
}

QString JsonLine(const QString& path, const FileFacts& facts)
{
    const TagFields& fields = facts.fields;
    QJsonObject object{
        {QStringLiteral("file"), path},
        {QStringLiteral("format"), facts.isWave ? QStringLiteral("wav") : QStringLiteral("mp3")},
        {QStringLiteral("length_ms"), static_cast<qint64>(facts.lengthMs)},
        {QStringLiteral("bitrate_kbps"), facts.bitrateKbps},
        {QStringLiteral("sample_rate"), facts.sampleRate},
        {QStringLiteral("channels"), facts.channels},
        {QStringLiteral("tags"), QJsonArray::fromStringList(facts.tagsFound)},
        {QStringLiteral("title"), fields.title},
        {QStringLiteral("artist"), fields.artist},
        {QStringLiteral("album"), fields.album},
        {QStringLiteral("year"), fields.year},
        {QStringLiteral("comment"), fields.comment},
        {QStringLiteral("track"), fields.track},
        {QStringLiteral("genre"), fields.genre},
    };
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}
} // namespace

int CInfoCommand::Run(const QStringList& arguments)
{
    const QString jsonOption = QStringLiteral("json");
    CCliArguments args({}, {jsonOption});
    if (!args.Parse(arguments)) {
        return UsageError(args.ErrorText());
    }
    if (args.Positional().size() != 1) {
        return UsageError(QStringLiteral("info takes exactly one file"));
    }
    const QString path = args.Positional().first();
    if (const QString problem = CheckInputFile(path); !problem.isEmpty()) {
        return Fail(problem);
    }

    FileFacts facts;
    CWaveFile wave;
    facts.isWave = wave.Open(path, nullptr, CWaveFile::kModeRead) == CWaveFile::S_OK;
    facts.lengthMs = CMediaLength::QueryLength(path);
    if (facts.isWave) {
        const WaveFormat& format = *wave.Format();
        facts.bitrateKbps = static_cast<int>(std::int64_t{format.avgBytesPerSec} * kBitsPerByte / kBitsPerKilobit);
        facts.sampleRate = static_cast<int>(format.samplesPerSec);
        facts.channels = format.channels;
        facts.waveFormat = QStringLiteral("WAV, format tag %1, %2 channel(s), %3 Hz, %4 bits")
                               .arg(format.formatTag)
                               .arg(format.channels)
                               .arg(format.samplesPerSec)
                               .arg(format.bitsPerSample);
        if (!wave.Info().IsEmpty()) {
            facts.tagsFound << QLatin1String(kWaveInfoTagName);
            facts.fields = CMp3TagFile::FieldsOf(wave.Info());
        }
    } else {
        const FirstFrame first = ProbeFirstFrame(path);
        if (facts.lengthMs <= 0 || first.bitrateKbps <= 0) {
            return Fail(QStringLiteral("%1: neither an MP3 nor a WAV file").arg(path));
        }
        facts.bitrateKbps = first.bitrateKbps;
        facts.sampleRate = first.sampleRate;
        facts.channels = first.channels;
        if (const std::optional<CMp3TagFile::Reading> reading = CMp3TagFile::Read(path)) {
            facts.tagsFound = reading->FoundTags();
            facts.fields = reading->fields;
        }
    }
    const QStringList lines = args.Has(jsonOption) ? QStringList{JsonLine(path, facts)} : TextLines(path, facts);
    for (const QString& line : lines) {
        Print(line);
    }
    return kExitSuccess;
}

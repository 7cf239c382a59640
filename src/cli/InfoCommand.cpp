#include "cli/InfoCommand.h"

#include "audio/BitrateProbe.h"
#include "cli/CliArguments.h"
#include "codec/MediaLength.h"
#include "codec/WaveFile.h"
#include "tags/GenreTable.h"
#include "tags/Id3v1Tag.h"

namespace
{
constexpr int kMsPerSecond = 1000;
constexpr int kBitsPerKilobit = 1000;

QString TagText(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes);
}

QString GenreText(int genre)
{
    const char* name = GenreTable::NameOf(genre);
    if (!name) {
        return genre == GenreTable::kNoGenre ? QStringLiteral("none") : QString::number(genre);
    }
    return QStringLiteral("%1 (%2)").arg(genre).arg(QLatin1String(name));
}
} // namespace

int CInfoCommand::Run(const QStringList& arguments)
{
    CCliArguments args({}, {});
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

    CWaveFile wave;
    const bool isWave = wave.Open(path, nullptr, CWaveFile::kModeRead) == CWaveFile::S_OK;
    const std::int64_t lengthMs = CMediaLength::QueryLength(path);
    const int bitrate = isWave ? 0 : ProbeFirstFrameBitrate(path);
    if (!isWave && (lengthMs <= 0 || bitrate <= 0)) {
        return Fail(QStringLiteral("%1: neither an MP3 nor a WAV file").arg(path));
    }

    Print(QStringLiteral("File:     %1").arg(path));
    Print(QStringLiteral("Length:   %1 (%2 ms)")
              .arg(FormatMinSec(static_cast<int>(lengthMs / kMsPerSecond)))
              .arg(lengthMs));
    if (isWave) {
        const WaveFormat* format = wave.Format();
        Print(QStringLiteral("Format:   WAV, format tag %1, %2 channel(s), %3 Hz, %4 bits")
                  .arg(format->formatTag)
                  .arg(format->channels)
                  .arg(format->samplesPerSec)
                  .arg(format->bitsPerSample));
        return kExitSuccess;
    }
    Print(QStringLiteral("Bit rate: %1 kbps (first frame)").arg(bitrate / kBitsPerKilobit));

    CId3v1Tag tag;
    tag.LoadTag(path, false);
    Print(QStringLiteral("Title:    %1").arg(TagText(tag.GetTitle())));
    Print(QStringLiteral("Artist:   %1").arg(TagText(tag.GetArtist())));
    Print(QStringLiteral("Album:    %1").arg(TagText(tag.GetAlbum())));
    Print(QStringLiteral("Year:     %1").arg(TagText(tag.GetYear())));
    Print(QStringLiteral("Comment:  %1").arg(TagText(tag.GetComment())));
    Print(QStringLiteral("Track:    %1").arg(tag.Track()));
    Print(QStringLiteral("Genre:    %1").arg(GenreText(tag.Genre())));
    return kExitSuccess;
}

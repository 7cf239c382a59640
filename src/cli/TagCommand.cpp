#include "cli/TagCommand.h"

#include "cli/CliArguments.h"
#include "cli/InfoCommand.h"
#include "platform/FileLock.h"
#include "tags/GenreTable.h"
#include "tags/Mp3TagFile.h"

#include <cstdio>

namespace
{
// The widths of the ID3v1 tag's fields; the ID3v2 tag keeps the whole text.
constexpr int kTextFieldBytes = 30;
constexpr int kYearBytes = 4;
constexpr int kLongCommentBytes = 30;
constexpr int kTrackCommentBytes = 28;
constexpr int kHighestId3v1Track = 255;
constexpr int kMaxTrack = 99999;
constexpr int kMaxGenreByte = 255;

void WarnIfCut(const char* field, const QString& text, int width)
{
    if (text.toUtf8().size() > width) {
        std::fprintf(stderr, "sorvane-cli: %s is cut to its first %d bytes in the ID3v1 tag\n", field, width);
    }
}

// A genre number 0..255, or a name from the genre table; the name the tags are given.
std::optional<QString> ParseGenre(const QString& text)
{
    bool isNumber = false;
    const int number = text.toInt(&isNumber);
    if (isNumber) {
        if (number < 0 || number > kMaxGenreByte) {
            return std::nullopt;
        }
        if (number == GenreTable::kNoGenre) {
            return QString();
        }
        const char* name = GenreTable::NameOf(number);
        return name ? QString::fromLatin1(name) : QString::number(number);
    }
    const int byName = GenreTable::NumberOf(text);
    return byName >= 0 ? std::optional<QString>(QString::fromLatin1(GenreTable::NameOf(byName))) : std::nullopt;
}
} // namespace

int CTagCommand::Run(const QStringList& arguments)
{
    const QStringList textOptions = {QStringLiteral("title"), QStringLiteral("artist"),  QStringLiteral("album"),
                                     QStringLiteral("year"),  QStringLiteral("comment"), QStringLiteral("track"),
                                     QStringLiteral("genre")};
    CCliArguments args(textOptions, {QStringLiteral("remove")});
    if (!args.Parse(arguments)) {
        return UsageError(args.ErrorText());
    }
    if (args.Positional().size() != 1) {
        return UsageError(QStringLiteral("tag takes exactly one file"));
    }
    const bool remove = args.Has(QStringLiteral("remove"));
    if (remove) {
        for (const QString& option : textOptions) {
            if (args.Has(option)) {
                return UsageError(QStringLiteral("--remove cannot be combined with --%1").arg(option));
            }
        }
    }
    const QString path = args.Positional().first();
    if (!args.AnyOptionGiven()) {
        // Nothing to change: show what is there.
        return CInfoCommand().Run({path});
    }
    if (const QString problem = CheckInputFile(path); !problem.isEmpty()) {
        return Fail(problem);
    }
    if (!IsMp3File(path)) {
        return Fail(QStringLiteral("%1: not an MP3 file").arg(path));
    }

    // Held from reading the old tag to writing the new one, so a re-encode or another tag save
    // of the file cannot come in between and one of the two be lost.
    CFileLock lock;
    if (lock.Acquire(path, CFileLock::Mode::Exclusive) == CFileLock::Result::Busy) {
        return Fail(CFileLock::BusyText(path));
    }
    const std::optional<CMp3TagFile::Reading> reading = CMp3TagFile::Read(path);
    if (!reading) {
        return Fail(QStringLiteral("%1: cannot be read").arg(path));
    }
    QString problem;
    if (remove) {
        if (!CMp3TagFile::Remove(path, &problem)) {
            return Fail(problem);
        }
        return kExitSuccess;
    }

    TagFields fields = reading->fields;
    if (const auto value = args.Value(QStringLiteral("track"))) {
        bool ok = false;
        const int track = value->toInt(&ok);
        if (!ok || track < 0 || track > kMaxTrack) {
            return UsageError(QStringLiteral("--track takes a number from 0 to %1").arg(kMaxTrack));
        }
        if (track > kHighestId3v1Track) {
            std::fprintf(stderr, "sorvane-cli: the track is stored as %d in the ID3v1 tag\n", kHighestId3v1Track);
        }
        fields.track = track;
    }
    if (const auto value = args.Value(QStringLiteral("genre"))) {
        const std::optional<QString> genre = ParseGenre(*value);
        if (!genre) {
            return UsageError(
                QStringLiteral("--genre takes a number from 0 to 255 or a genre name, not '%1'").arg(*value));
        }
        fields.genre = *genre;
    }
    const auto take = [&args](const char* option, QString& field, const char* name, int width) {
        if (const auto value = args.Value(QLatin1String(option))) {
            field = *value;
            WarnIfCut(name, field, width);
        }
    };
    take("title", fields.title, "the title", kTextFieldBytes);
    take("artist", fields.artist, "the artist", kTextFieldBytes);
    take("album", fields.album, "the album", kTextFieldBytes);
    take("year", fields.year, "the year", kYearBytes);
    take("comment", fields.comment, "the comment", fields.track != 0 ? kTrackCommentBytes : kLongCommentBytes);

    if (!CMp3TagFile::Write(path, fields, &problem)) {
        return Fail(problem);
    }
    return kExitSuccess;
}

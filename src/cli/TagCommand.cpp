#include "cli/TagCommand.h"

#include "cli/CliArguments.h"
#include "cli/InfoCommand.h"
#include "platform/FileLock.h"
#include "tags/GenreTable.h"
#include "tags/Id3v1Tag.h"

#include <cstdio>

namespace
{
constexpr int kTextFieldBytes = 30;
constexpr int kYearBytes = 4;
constexpr int kLongCommentBytes = 30;
constexpr int kTrackCommentBytes = 28;
constexpr int kMaxTrack = 255;
constexpr int kMaxGenreByte = 255;

void WarnIfCut(const char* field, const QByteArray& bytes, int width)
{
    if (bytes.size() > width) {
        std::fprintf(stderr, "sorvane-cli: %s is cut to its first %d bytes\n", field, width);
    }
}

// A genre number 0..255, or a name from the genre table.
std::optional<int> ParseGenre(const QString& text)
{
    bool isNumber = false;
    const int number = text.toInt(&isNumber);
    if (isNumber) {
        return number >= 0 && number <= kMaxGenreByte ? std::optional<int>(number) : std::nullopt;
    }
    const int byName = GenreTable::NumberOf(text);
    return byName >= 0 ? std::optional<int>(byName) : std::nullopt;
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
    CId3v1Tag tag;
    if (!tag.LoadTag(path, false)) {
        return Fail(QStringLiteral("%1: cannot be read").arg(path));
    }
    if (remove) {
        if (!tag.WriteTag(path, true)) {
            return Fail(QStringLiteral("%1: the tag could not be removed").arg(path));
        }
        return kExitSuccess;
    }

    if (const auto value = args.Value(QStringLiteral("track"))) {
        bool ok = false;
        const int track = value->toInt(&ok);
        if (!ok || track < 0 || track > kMaxTrack) {
            return UsageError(QStringLiteral("--track takes a number from 0 to %1").arg(kMaxTrack));
        }
        tag.SetTrack(track);
    }
    if (const auto value = args.Value(QStringLiteral("genre"))) {
        const std::optional<int> genre = ParseGenre(*value);
        if (!genre) {
            return UsageError(
                QStringLiteral("--genre takes a number from 0 to 255 or a genre name, not '%1'").arg(*value));
        }
        tag.SetGenre(*genre);
    }
    if (const auto value = args.Value(QStringLiteral("title"))) {
        tag.SetTitle(value->toUtf8());
        WarnIfCut("the title", tag.GetTitle(), kTextFieldBytes);
    }
    if (const auto value = args.Value(QStringLiteral("artist"))) {
        tag.SetArtist(value->toUtf8());
        WarnIfCut("the artist", tag.GetArtist(), kTextFieldBytes);
    }
    if (const auto value = args.Value(QStringLiteral("album"))) {
        tag.SetAlbum(value->toUtf8());
        WarnIfCut("the album", tag.GetAlbum(), kTextFieldBytes);
    }
    if (const auto value = args.Value(QStringLiteral("year"))) {
        tag.SetYear(value->toUtf8());
        WarnIfCut("the year", tag.GetYear(), kYearBytes);
    }
    if (const auto value = args.Value(QStringLiteral("comment"))) {
        tag.SetComment(value->toUtf8());
    }
    WarnIfCut("the comment", tag.GetComment(), tag.Track() != 0 ? kTrackCommentBytes : kLongCommentBytes);

    if (!tag.WriteTag(path, false)) {
        return Fail(QStringLiteral("%1: the tag could not be written").arg(path));
    }
    return kExitSuccess;
}

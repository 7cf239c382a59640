#include "tags/Mp3TagFile.h"

#include "codec/WaveInfoList.h"
#include "platform/ReplacementFile.h"
#include "tags/GenreTable.h"
#include "tags/Id3v1Tag.h"
#include "tags/TagText.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <apetag.h>
#include <cerrno>
#include <climits>
#include <commentsframe.h>
#include <cstring>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <sys/stat.h>
#include <tbytevectorstream.h>
#include <tdebuglistener.h>
#include <textidentificationframe.h>
#include <tfilestream.h>
#include <unistd.h>

namespace
{
// A tag Sorvane adds is ID3v2.3: every player reads it, also those that never learnt 2.4.
constexpr int kNewId3v2Version = 3;
constexpr int kId3v2Version4 = 4;
constexpr int kTextFieldBytes = 30;
constexpr int kYearBytes = 4;
constexpr int kCommentBytes = 30;
constexpr int kCommentBytesWithTrack = 28;
constexpr int kHighestId3v1Track = 255;
constexpr int kHighestGenreByte = 255;
// Some writers put a second ID3v2 tag straight behind the first; removing goes on until none
// is left, but not for ever on a file crafted to look like endless tags.
constexpr int kMostStackedId3v2Tags = 16;
constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr const char* kCommentLanguage = "eng";
constexpr const char* kCommentFrameId = "COMM";
constexpr const char* kGenreFrameId = "TCON";
constexpr const char* kYearFrameId = "TDRC";

// TagLib reports oddities of the tags it reads on stderr; a damaged tag is no reason for a line
// on the user's console.
class CSilentTagLibListener : public TagLib::DebugListener
{
public:
    void printMessage(const TagLib::String&) override {}
};

void SilenceTagLib()
{
    static CSilentTagLibListener listener;
    static const bool installed = [] {
        TagLib::setDebugListener(&listener);
        return true;
    }();
    (void)installed;
}

QString ToQt(const TagLib::String& text)
{
    return QString::fromStdString(text.to8Bit(true));
}

TagLib::String ToTagLib(const QString& text)
{
    return {text.toUtf8().constData(), TagLib::String::UTF8};
}

// A genre as players show it: "(17)", "17" and "Rock" are all Rock; a number the genre table
// has no name for is no genre.
QString GenreText(const QString& stored)
{
    static const QRegularExpression reference(QStringLiteral("^\\((\\d+)\\)(.*)$"));
    QString value = stored.trimmed();
    if (const QRegularExpressionMatch match = reference.match(value); match.hasMatch()) {
        const QString refinement = match.captured(2).trimmed();
        if (!refinement.isEmpty()) {
            return refinement;
        }
        value = match.captured(1);
    }
    bool isNumber = false;
    const int number = value.toInt(&isNumber);
    if (isNumber) {
        const char* name = GenreTable::NameOf(number);
        return name ? QString::fromLatin1(name) : QString();
    }
    return value;
}

// The comment players show is the one without a description; others (iTunNORM and the like)
// belong to other programs.
TagLib::ID3v2::CommentsFrame* PlainComment(const TagLib::ID3v2::Tag& tag)
{
    const TagLib::ID3v2::FrameList& frames = tag.frameListMap()[kCommentFrameId];
    for (TagLib::ID3v2::Frame* frame : frames) {
        auto* comment = dynamic_cast<TagLib::ID3v2::CommentsFrame*>(frame);
        if (comment && comment->description().isEmpty()) {
            return comment;
        }
    }
    return nullptr;
}

QString Id3v2Genre(const TagLib::ID3v2::Tag& tag)
{
    const TagLib::ID3v2::FrameList& frames = tag.frameListMap()[kGenreFrameId];
    if (frames.isEmpty()) {
        return {};
    }
    const auto* text = dynamic_cast<const TagLib::ID3v2::TextIdentificationFrame*>(frames.front());
    const TagLib::StringList values = text ? text->fieldList() : TagLib::StringList(frames.front()->toString());
    for (const TagLib::String& value : values) {
        if (QString genre = GenreText(ToQt(value)); !genre.isEmpty()) {
            return genre;
        }
    }
    return {};
}

TagFields Id3v2Fields(const TagLib::ID3v2::Tag& tag)
{
    TagFields fields;
    fields.title = ToQt(tag.title());
    fields.artist = ToQt(tag.artist());
    fields.album = ToQt(tag.album());
    const TagLib::ID3v2::CommentsFrame* comment = PlainComment(tag);
    fields.comment = comment ? ToQt(comment->text()) : QString();
    fields.year = tag.year() != 0 ? QString::number(tag.year()) : QString();
    fields.track = static_cast<int>(std::min<unsigned>(tag.track(), INT_MAX));
    fields.genre = Id3v2Genre(tag);
    return fields;
}

TagFields ApeFields(const TagLib::APE::Tag& tag)
{
    TagFields fields;
    fields.title = ToQt(tag.title());
    fields.artist = ToQt(tag.artist());
    fields.album = ToQt(tag.album());
    fields.comment = ToQt(tag.comment());
    fields.year = tag.year() != 0 ? QString::number(tag.year()) : QString();
    fields.track = static_cast<int>(std::min<unsigned>(tag.track(), INT_MAX));
    fields.genre = GenreText(ToQt(tag.genre()));
    return fields;
}

TagFields Id3v1Fields(const CId3v1Tag& tag)
{
    TagFields fields;
    fields.title = TagText::Decode(tag.GetTitle());
    fields.artist = TagText::Decode(tag.GetArtist());
    fields.album = TagText::Decode(tag.GetAlbum());
    fields.comment = TagText::Decode(tag.GetComment());
    fields.year = TagText::Decode(tag.GetYear());
    fields.track = tag.Track();
    const char* genre = GenreTable::NameOf(tag.Genre());
    fields.genre = genre ? QString::fromLatin1(genre) : QString();
    return fields;
}

void SetPlainComment(TagLib::ID3v2::Tag& tag, const QString& text)
{
    if (text.isEmpty()) {
        while (TagLib::ID3v2::CommentsFrame* comment = PlainComment(tag)) {
            tag.removeFrame(comment);
        }
        return;
    }
    if (TagLib::ID3v2::CommentsFrame* comment = PlainComment(tag)) {
        comment->setText(ToTagLib(text));
        return;
    }
    auto comment = std::make_unique<TagLib::ID3v2::CommentsFrame>();
    comment->setLanguage(kCommentLanguage);
    comment->setText(ToTagLib(text));
    tag.addFrame(comment.release()); // the tag owns its frames
}

// A text frame with this text, or none for no text. TagLib picks an encoding that holds the
// text when it renders the frame for the tag's version.
void SetTextFrame(TagLib::ID3v2::Tag& tag, const char* id, const QString& text)
{
    if (text.isEmpty()) {
        tag.removeFrames(id);
        return;
    }
    const TagLib::ID3v2::FrameList& frames = tag.frameListMap()[id];
    if (!frames.isEmpty()) {
        frames.front()->setText(ToTagLib(text));
        return;
    }
    auto frame = std::make_unique<TagLib::ID3v2::TextIdentificationFrame>(id, TagLib::String::Latin1);
    frame->setText(ToTagLib(text));
    tag.addFrame(frame.release()); // the tag owns its frames
}

// Only what changed is written: a field the user left alone keeps the form the tag had it in.
void UpdateId3v2(TagLib::ID3v2::Tag& tag, const TagFields& fields)
{
    const TagFields current = Id3v2Fields(tag);
    if (fields.title != current.title) {
        tag.setTitle(ToTagLib(fields.title));
    }
    if (fields.artist != current.artist) {
        tag.setArtist(ToTagLib(fields.artist));
    }
    if (fields.album != current.album) {
        tag.setAlbum(ToTagLib(fields.album));
    }
    if (fields.comment != current.comment) {
        SetPlainComment(tag, fields.comment);
    }
    // As text, so a year that is no number (a "199x" from an ID3v1 tag) is not lost.
    if (fields.year != current.year) {
        SetTextFrame(tag, kYearFrameId, fields.year);
    }
    if (fields.track != current.track) {
        tag.setTrack(static_cast<unsigned>(std::max(fields.track, 0)));
    }
    // By name: the genre numbers of other programs' tables do not all agree with ours.
    if (fields.genre != current.genre) {
        SetTextFrame(tag, kGenreFrameId, fields.genre);
    }
}

void UpdateApe(TagLib::APE::Tag& tag, const TagFields& fields)
{
    const TagFields current = ApeFields(tag);
    if (fields.title != current.title) {
        tag.setTitle(ToTagLib(fields.title));
    }
    if (fields.artist != current.artist) {
        tag.setArtist(ToTagLib(fields.artist));
    }
    if (fields.album != current.album) {
        tag.setAlbum(ToTagLib(fields.album));
    }
    if (fields.comment != current.comment) {
        tag.setComment(ToTagLib(fields.comment));
    }
    if (fields.year != current.year) {
        tag.setYear(fields.year.toUInt());
    }
    if (fields.track != current.track) {
        tag.setTrack(static_cast<unsigned>(std::max(fields.track, 0)));
    }
    if (fields.genre != current.genre) {
        tag.setGenre(ToTagLib(fields.genre));
    }
}

CMp3TagFile::Reading ReadTagLibTags(TagLib::IOStream* stream)
{
    SilenceTagLib();
    CMp3TagFile::Reading reading;
    TagLib::MPEG::File file(stream, TagLib::ID3v2::FrameFactory::instance(), false);
    if (!file.isOpen()) {
        return reading;
    }
    std::optional<TagFields> id3v2;
    std::optional<TagFields> ape;
    if (file.hasID3v2Tag()) {
        reading.id3v2Version = static_cast<int>(file.ID3v2Tag()->header()->majorVersion());
        id3v2 = Id3v2Fields(*file.ID3v2Tag());
    }
    if (file.hasAPETag()) {
        reading.hasApe = true;
        ape = ApeFields(*file.APETag());
    }
    if (id3v2 && !id3v2->IsEmpty()) {
        reading.fields = *id3v2;
    } else if (ape && !ape->IsEmpty()) {
        reading.fields = *ape;
    }
    return reading;
}

void TakeId3v1(CMp3TagFile::Reading& reading, const CId3v1Tag& tag, bool found)
{
    reading.hasId3v1 = found;
    if (found && reading.fields.IsEmpty()) {
        reading.fields = Id3v1Fields(tag);
    }
}

TagLib::ByteVector ToByteVector(const QByteArray& bytes)
{
    return {bytes.constData(), static_cast<unsigned>(bytes.size())};
}

QByteArray ToQByteArray(const TagLib::ByteVector& bytes)
{
    return {bytes.data(), static_cast<qsizetype>(bytes.size())};
}

bool FitsTagLib(const QByteArray& bytes)
{
    return bytes.size() < INT_MAX;
}

QString ErrnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}
} // namespace

QStringList CMp3TagFile::Reading::FoundTags() const
{
    QStringList found;
    if (id3v2Version != 0) {
        found << QStringLiteral("ID3v2.%1").arg(id3v2Version);
    }
    if (hasApe) {
        found << QStringLiteral("APE");
    }
    if (hasId3v1) {
        found << QStringLiteral("ID3v1");
    }
    return found;
}

std::optional<CMp3TagFile::Reading> CMp3TagFile::Read(const QString& path)
{
    // Only regular files: opening a FIFO would block until someone writes to it.
    QFile file(path);
    if (path.isEmpty() || !QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    TagLib::FileStream stream(QFile::encodeName(path).constData(), true);
    Reading reading = ReadTagLibTags(&stream);
    CId3v1Tag id3v1;
    const qint64 size = file.size();
    const bool hasId3v1 = size >= CId3v1Tag::kTagSize && file.seek(size - CId3v1Tag::kTagSize) &&
                          id3v1.Decode(file.read(CId3v1Tag::kTagSize));
    TakeId3v1(reading, id3v1, hasId3v1);
    return reading;
}

CMp3TagFile::Reading CMp3TagFile::ReadBytes(const QByteArray& fileBytes)
{
    if (!FitsTagLib(fileBytes)) {
        return {};
    }
    TagLib::ByteVectorStream stream(ToByteVector(fileBytes));
    Reading reading = ReadTagLibTags(&stream);
    CId3v1Tag id3v1;
    TakeId3v1(reading, id3v1,
              fileBytes.size() >= CId3v1Tag::kTagSize && id3v1.Decode(fileBytes.right(CId3v1Tag::kTagSize)));
    return reading;
}

bool CMp3TagFile::WriteBytes(QByteArray& fileBytes, const TagFields& fields)
{
    if (!FitsTagLib(fileBytes)) {
        return false;
    }
    SilenceTagLib();
    TagLib::ByteVectorStream stream(ToByteVector(fileBytes));
    {
        TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        if (!file.isOpen()) {
            return false;
        }
        // A tag keeps its version; 2.2, which TagLib cannot write, becomes the version of new tags.
        const bool version4 =
            file.hasID3v2Tag() && file.ID3v2Tag()->header()->majorVersion() == static_cast<unsigned>(kId3v2Version4);
        UpdateId3v2(*file.ID3v2Tag(true), fields);
        if (file.hasAPETag()) {
            UpdateApe(*file.APETag(), fields);
        }
        // The ID3v1 tag is left to our own codec below.
        if (!file.save(TagLib::MPEG::File::ID3v2 | TagLib::MPEG::File::APE, TagLib::File::StripNone,
                       version4 ? TagLib::ID3v2::v4 : TagLib::ID3v2::v3, TagLib::File::DoNotDuplicate)) {
            return false;
        }
    }
    static_assert(kNewId3v2Version == TagLib::ID3v2::v3);
    QByteArray result = ToQByteArray(*stream.data());
    Id3v1From(fields).WriteTagInto(result, false);
    fileBytes = std::move(result);
    return true;
}

bool CMp3TagFile::RemoveFromBytes(QByteArray& fileBytes)
{
    if (!FitsTagLib(fileBytes)) {
        return false;
    }
    SilenceTagLib();
    QByteArray result = fileBytes;
    for (int round = 0; round < kMostStackedId3v2Tags; ++round) {
        TagLib::ByteVectorStream stream(ToByteVector(result));
        TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        if (!file.isOpen()) {
            return false;
        }
        if (!file.hasID3v2Tag() && !file.hasAPETag()) {
            break;
        }
        if (!file.strip(TagLib::MPEG::File::ID3v2 | TagLib::MPEG::File::APE)) {
            return false;
        }
        result = ToQByteArray(*stream.data());
    }
    CId3v1Tag().WriteTagInto(result, true);
    fileBytes = std::move(result);
    return true;
}

TagFields CMp3TagFile::FieldsOf(const WaveInfoList& info)
{
    TagFields fields;
    fields.title = TagText::Decode(info.title);
    fields.artist = TagText::Decode(info.artist);
    fields.album = TagText::Decode(info.album);
    fields.comment = TagText::Decode(info.comment);
    // A date may be a whole one ("2024-05-01"); the tags take its year.
    fields.year = TagText::Decode(info.date.left(kYearBytes));
    fields.track = info.track.trimmed().toInt();
    fields.genre = GenreText(TagText::Decode(info.genre));
    return fields;
}

CId3v1Tag CMp3TagFile::Id3v1From(const TagFields& fields)
{
    CId3v1Tag tag;
    const int track = std::clamp(fields.track, 0, kHighestId3v1Track);
    tag.SetTitle(TagText::EncodeCut(fields.title, kTextFieldBytes));
    tag.SetArtist(TagText::EncodeCut(fields.artist, kTextFieldBytes));
    tag.SetAlbum(TagText::EncodeCut(fields.album, kTextFieldBytes));
    tag.SetYear(TagText::EncodeCut(fields.year, kYearBytes));
    tag.SetComment(TagText::EncodeCut(fields.comment, track != 0 ? kCommentBytesWithTrack : kCommentBytes));
    tag.SetTrack(track);
    tag.SetGenre(Id3v1GenreOf(fields.genre));
    return tag;
}

int CMp3TagFile::Id3v1GenreOf(const QString& genre)
{
    if (const int number = GenreTable::NumberOf(genre); number >= 0) {
        return number;
    }
    bool isNumber = false;
    const int number = genre.trimmed().toInt(&isNumber);
    return isNumber && number >= 0 && number <= kHighestGenreByte ? number : GenreTable::kNoGenre;
}

bool CMp3TagFile::Write(const QString& path, const TagFields& fields, QString* problem)
{
    return Replace(path, false, fields, problem);
}

bool CMp3TagFile::Remove(const QString& path, QString* problem)
{
    return Replace(path, true, {}, problem);
}

bool CMp3TagFile::Replace(const QString& path, bool remove, const TagFields& fields, QString* problem)
{
    const auto fail = [&](const QString& why) {
        if (problem) {
            *problem = QStringLiteral("%1: %2; it was left as it was").arg(path, why);
        }
        return false;
    };
    const QByteArray native = QFile::encodeName(path);
    struct stat info
    {
    };
    if (path.isEmpty() || ::stat(native.constData(), &info) != 0) {
        return fail(ErrnoText());
    }
    if (!S_ISREG(info.st_mode)) {
        return fail(QStringLiteral("not a regular file"));
    }
    // A file marked read-only stays as it is, even for a user the system would let write it.
    if ((info.st_mode & kAnyWriteBit) == 0 || ::access(native.constData(), W_OK) != 0) {
        return fail(QStringLiteral("the file is read-only"));
    }
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) {
        return fail(source.errorString());
    }
    const QByteArray original = source.readAll();
    if (source.error() != QFileDevice::NoError || original.size() != source.size()) {
        return fail(source.errorString());
    }
    source.close();
    QByteArray bytes = original;
    if (!(remove ? RemoveFromBytes(bytes) : WriteBytes(bytes, fields))) {
        return fail(QStringLiteral("its tags could not be rebuilt"));
    }
    if (bytes == original) {
        return true;
    }
    CReplacementFile target(path, CReplacementFile::Mode::RewriteInPlace);
    if (!target.Create()) {
        return fail(QStringLiteral("cannot create a new file beside it: %1").arg(ErrnoText()));
    }
    QFile output(target.TemporaryPath());
    const bool written = output.open(QIODevice::WriteOnly) && output.write(bytes) == bytes.size() && output.flush();
    const QString writeError = output.errorString();
    output.close();
    if (!written) {
        return fail(writeError);
    }
    if (!target.Commit()) {
        return fail(QStringLiteral("the new file could not take its place: %1").arg(ErrnoText()));
    }
    return true;
}

bool CMp3TagFile::WriteInto(const QString& path, const TagFields& fields)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    QByteArray bytes = file.readAll();
    file.close();
    if (!WriteBytes(bytes, fields)) {
        return false;
    }
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() && file.flush();
}

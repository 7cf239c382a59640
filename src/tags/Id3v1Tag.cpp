#include "tags/Id3v1Tag.h"

#include "codec/MediaLength.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <climits>
#include <cstring>

namespace
{
constexpr char kTagMarker[] = "TAG";
constexpr int kTagMarkerLength = 3;

constexpr int kTitleOffset = 3;
constexpr int kArtistOffset = 33;
constexpr int kAlbumOffset = 63;
constexpr int kTextFieldWidth = 30;
constexpr int kYearOffset = 93;
constexpr int kYearWidth = 4;
constexpr int kCommentOffset = 97;
constexpr int kCommentWidth = 30;
// An ID3v1.1 tag gives the comment's last two bytes to a zero marker and the track number.
constexpr int kCommentWidthWithTrack = 28;
constexpr int kTrackMarkerOffset = 125;
constexpr int kTrackOffset = 126;
constexpr int kGenreOffset = 127;
constexpr int kHighestTrack = 255;
constexpr int kMillisecondsPerSecond = 1000;

QByteArray ReadField(const QByteArray& tag, int offset, int width)
{
    const char* start = tag.constData() + offset;
    const auto* end = static_cast<const char*>(std::memchr(start, '\0', static_cast<std::size_t>(width)));
    return QByteArray(start, end != nullptr ? static_cast<int>(end - start) : width);
}

// The value's bytes cut to the width; the rest of the field stays the NUL bytes it was built with.
void WriteField(QByteArray& tag, int offset, int width, const QByteArray& value)
{
    std::memcpy(tag.data() + offset, value.constData(),
                static_cast<std::size_t>(std::min<qsizetype>(value.size(), width)));
}

bool StartsWithMarker(const QByteArray& bytes)
{
    return bytes.size() == CId3v1Tag::kTagSize && std::memcmp(bytes.constData(), kTagMarker, kTagMarkerLength) == 0;
}
} // namespace

CId3v1Tag::CId3v1Tag(const QString& fileName)
{
    Reset();
    if (!fileName.isEmpty()) {
        LoadTag(fileName, true);
    }
}

CId3v1Tag::~CId3v1Tag() = default;

void CId3v1Tag::Reset()
{
    m_fileName.clear();
    m_artist.clear();
    m_title.clear();
    m_album.clear();
    m_comment.clear();
    m_year.clear();
    m_track = 0;
    m_genre = kNoGenre;
    m_duration = 0;
}

bool CId3v1Tag::LoadTag(const QString& fileName, bool exactDuration)
{
    Reset();
    QFile file(fileName);
    // Only regular files: opening a FIFO would block until someone writes to it.
    if (fileName.isEmpty() || !QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly)) {
        return false;
    }
    if (exactDuration) {
        const std::int64_t seconds = CMediaLength::QueryLength(fileName) / kMillisecondsPerSecond;
        m_duration = static_cast<int>(std::min<std::int64_t>(seconds, INT_MAX));
    }
    const qint64 size = file.size();
    if (size >= kTagSize && file.seek(size - kTagSize)) {
        Decode(file.read(kTagSize));
    }
    m_fileName = fileName;
    return true;
}

bool CId3v1Tag::WriteTag(const QString& fileName, bool remove)
{
    const QString path = fileName.isEmpty() ? m_fileName : fileName;
    if (path.isEmpty()) {
        return false;
    }
    const QFileInfo info(path);
    // Only regular files carry tags (a FIFO would block); and removing a tag from a file that is
    // not there would only leave a stray empty file behind.
    if (info.exists() ? !info.isFile() : remove) {
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        return false;
    }
    const qint64 size = file.size();
    qint64 tagPosition = size;
    if (size >= kTagSize && file.seek(size - kTagSize) && StartsWithMarker(file.read(kTagSize))) {
        tagPosition = size - kTagSize;
    }
    if (remove) {
        return tagPosition == size || file.resize(tagPosition);
    }
    const QByteArray tag = Encode();
    const bool written = file.seek(tagPosition) && file.write(tag) == kTagSize;
    if (!written && tagPosition == size) {
        // A half-appended tag would be taken for audio; give the file back its old length.
        file.resize(size);
    }
    return written;
}

void CId3v1Tag::WriteTagInto(QByteArray& fileBytes, bool remove) const
{
    fileBytes.truncate(TagPosition(fileBytes));
    if (!remove) {
        fileBytes.append(Encode());
    }
}

qsizetype CId3v1Tag::TagPosition(const QByteArray& fileBytes)
{
    const qsizetype size = fileBytes.size();
    return size >= kTagSize && StartsWithMarker(fileBytes.right(kTagSize)) ? size - kTagSize : size;
}

QByteArray CId3v1Tag::Encode() const
{
    QByteArray tag(kTagSize, '\0');
    std::memcpy(tag.data(), kTagMarker, kTagMarkerLength);
    WriteField(tag, kTitleOffset, kTextFieldWidth, m_title);
    WriteField(tag, kArtistOffset, kTextFieldWidth, m_artist);
    WriteField(tag, kAlbumOffset, kTextFieldWidth, m_album);
    WriteField(tag, kYearOffset, kYearWidth, m_year);
    if (m_track != 0) {
        WriteField(tag, kCommentOffset, kCommentWidthWithTrack, m_comment);
        tag[kTrackOffset] = static_cast<char>(std::clamp(m_track, 0, kHighestTrack));
    } else {
        WriteField(tag, kCommentOffset, kCommentWidth, m_comment);
    }
    tag[kGenreOffset] = static_cast<char>(m_genre & 0xFF);
    return tag;
}

bool CId3v1Tag::Decode(const QByteArray& tagBytes)
{
    if (!StartsWithMarker(tagBytes)) {
        return false;
    }
    m_title = ReadField(tagBytes, kTitleOffset, kTextFieldWidth);
    m_artist = ReadField(tagBytes, kArtistOffset, kTextFieldWidth);
    m_album = ReadField(tagBytes, kAlbumOffset, kTextFieldWidth);
    m_year = ReadField(tagBytes, kYearOffset, kYearWidth);
    if (tagBytes[kTrackMarkerOffset] != '\0') {
        m_comment = ReadField(tagBytes, kCommentOffset, kCommentWidth);
        m_track = 0;
    } else {
        m_comment = ReadField(tagBytes, kCommentOffset, kCommentWidthWithTrack);
        m_track = static_cast<std::uint8_t>(tagBytes[kTrackOffset]);
    }
    m_genre = static_cast<std::uint8_t>(tagBytes[kGenreOffset]);
    return true;
}

QString FormatMinSec(int seconds)
{
    constexpr int kSecondsPerMinute = 60;
    // A negative time has no sensible "m:ss" form; it can only come from a failed measurement.
    const int clamped = std::max(seconds, 0);
    return QString::asprintf("%d:%02d", clamped / kSecondsPerMinute, clamped % kSecondsPerMinute);
}

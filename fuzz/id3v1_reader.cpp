// Feeds arbitrary bytes to the ID3v1 codec as a file: load without and with the exact duration,
// then write the loaded tag back (and remove it) on a copy, checking that nothing but the tag's
// own bytes at the end ever changes.
#include "tags/Id3v1Tag.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace
{
bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir dir;
    if (!dir.isValid()) {
        return 0;
    }
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString original = dir.filePath(QStringLiteral("input.mp3"));
    const QString copy = dir.filePath(QStringLiteral("copy.mp3"));
    if (!WriteBytes(original, input) || !WriteBytes(copy, input)) {
        return 0;
    }

    CId3v1Tag plain;
    if (!plain.LoadTag(original, false) || plain.Duration() != 0) {
        std::abort();
    }
    CId3v1Tag measured;
    if (!measured.LoadTag(original, true) || measured.GetTitle() != plain.GetTitle() ||
        measured.GetComment() != plain.GetComment() || measured.Track() != plain.Track() ||
        measured.Genre() != plain.Genre() || measured.Duration() < 0) {
        std::abort();
    }

    // Whatever was read must survive a write and a second read unchanged.
    const bool hadTag = input.size() >= CId3v1Tag::kTagSize && input.right(CId3v1Tag::kTagSize).startsWith("TAG");
    const QByteArray audio = hadTag ? input.left(input.size() - CId3v1Tag::kTagSize) : input;
    if (!plain.WriteTag(copy, false)) {
        std::abort();
    }
    const QByteArray written = ReadBytes(copy);
    if (written.size() != audio.size() + CId3v1Tag::kTagSize || !written.startsWith(audio)) {
        std::abort();
    }
    CId3v1Tag reread;
    if (!reread.LoadTag(copy, false) || reread.GetTitle() != plain.GetTitle() ||
        reread.GetArtist() != plain.GetArtist() || reread.GetAlbum() != plain.GetAlbum() ||
        reread.GetYear() != plain.GetYear() || reread.GetComment() != plain.GetComment() ||
        reread.Track() != plain.Track() || reread.Genre() != plain.Genre()) {
        std::abort();
    }
    if (!plain.WriteTag(copy, true) || ReadBytes(copy) != audio) {
        std::abort();
    }
    return 0;
}

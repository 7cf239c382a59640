// Feeds arbitrary bytes to the tag reading and writing of MP3 files (TagLib for ID3v2 and APE,
// our codec for ID3v1), as a file held in memory: read, write a set of fields, read back,
// remove. Whatever the bytes, the written file must end in exactly the ID3v1 tag of the fields.
#include "tags/Id3v1Tag.h"
#include "tags/Mp3TagFile.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const CMp3TagFile::Reading reading = CMp3TagFile::ReadBytes(input);
    (void)reading.FoundTags();

    TagFields fields = reading.fields;
    fields.title = QStringLiteral("Fuzzed title \u00e9");
    fields.track = 7;
    QByteArray written = input;
    if (CMp3TagFile::WriteBytes(written, fields)) {
        if (!written.endsWith(CMp3TagFile::Id3v1From(fields).Encode())) {
            std::abort();
        }
        (void)CMp3TagFile::ReadBytes(written);
    }
    QByteArray removed = input;
    if (CMp3TagFile::RemoveFromBytes(removed) && removed.size() > input.size()) {
        std::abort();
    }
    return 0;
}

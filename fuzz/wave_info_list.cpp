// Feeds arbitrary bytes to the parser of a WAV file's LIST/INFO chunk body and turns what it
// finds into tag fields, as a WAV-to-MP3 conversion does.
#include "codec/WaveInfoList.h"
#include "tags/Mp3TagFile.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<WaveInfoList> info = WaveInfoList::Parse(body);
    if (!info) {
        return 0;
    }
    for (const QByteArray* text :
         {&info->title, &info->artist, &info->album, &info->comment, &info->date, &info->genre, &info->track}) {
        if (text->size() > body.size() || text->contains('\0')) {
            std::abort();
        }
    }
    (void)CMp3TagFile::FieldsOf(*info);
    return 0;
}

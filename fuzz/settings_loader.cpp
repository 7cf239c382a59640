// Feeds arbitrary bytes to the "Record Setup.sys" reader. Whatever it accepts must write back
// into a file that reads again to the same bytes.
#include "app/RecordSettings.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CRecordSettings settings;
    settings.LoadFromBytes(input);

    const QByteArray written = settings.ToBytes();
    CRecordSettings reread;
    if (!reread.LoadFromBytes(written) || reread.ToBytes() != written) {
        std::abort();
    }
    const int bitrate = settings.Bitrate();
    const int rateIndex = settings.SampleRateIndex();
    if (bitrate <= 0 || rateIndex < 0 || settings.Format().blockAlign == 0 || settings.LongSilenceAction() < 0) {
        std::abort();
    }
    return 0;
}

#include "audio/BitrateProbe.h"

#include "app/RecordSettings.h"
#include "codec/Mp3Decoding.h"
#include "codec/WholeFile.h"

namespace
{
constexpr long kBitsPerKilobit = 1000;
}

int ProbeFirstFrameBitrate(const QString& path)
{
    CWholeFile file;
    if (!file.Load(path)) {
        return 0;
    }
    unsigned long bitrate = 0;
    auto sink = MakeFrameSink([&bitrate](const mad_header& header, const mad_pcm&) {
        bitrate = header.bitrate;
        return MAD_FLOW_STOP;
    });
    // Leaves any running operation's encoder alone: a probe is no part of that operation.
    DecodeMp3Buffer(file.Data(), file.Size(), sink);
    return static_cast<int>(bitrate);
}

int BitrateIndexForFile(const QString& path)
{
    const long bitrate = ProbeFirstFrameBitrate(path);
    for (std::size_t i = 0; i < BitrateTable.size(); ++i) {
        if (BitrateTable[i] * kBitsPerKilobit == bitrate) {
            return static_cast<int>(i);
        }
    }
    return CRecordSettings::Instance().BitrateIndex();
}

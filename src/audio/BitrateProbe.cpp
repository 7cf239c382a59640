#include "audio/BitrateProbe.h"

#include "app/RecordSettings.h"
#include "codec/BitrateChoice.h"
#include "codec/FileByteSource.h"
#include "codec/Mp3Decoding.h"

namespace
{
constexpr long kBitsPerKilobit = 1000;
}

int ProbeFirstFrameBitrate(const QString& path)
{
    CFileByteSource file;
    if (!file.Open(path)) {
        return 0;
    }
    unsigned long bitrate = 0;
    auto sink = MakeFrameSink([&bitrate](const Mp3FrameHeader& header, const DecodedPcm&) {
        bitrate = header.bitrate;
        return FrameFlow::Stop;
    });
    // Leaves any running operation's encoder alone: a probe is no part of that operation.
    DecodeMp3(file, sink);
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
    // Callers index BitrateTable with the result: a VBR choice stands in as its typical rate.
    const CRecordSettings& settings = CRecordSettings::Instance();
    return BitrateChoice::IsVbrIndex(settings.BitrateIndex()) ? BitrateChoice::NearestConstantIndex(settings.Bitrate())
                                                              : settings.BitrateIndex();
}

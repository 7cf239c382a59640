#include "codec/Mp3Decoding.h"

#include "codec/MemoryByteSource.h"
#include "codec/Mpg123Stream.h"

#include <set>

int DecodeMp3(CByteSource& source, FrameSink& sink)
{
    std::set<int> reportedErrors;
    int result = 0;
    try {
        CMpg123Stream stream(source, sink.WantedSampleType(), reportedErrors);
        if (stream.Open()) {
            Mp3FrameHeader header;
            DecodedPcm pcm;
            for (;;) {
                const CMpg123Stream::Result next = stream.Next(header, pcm);
                if (next != CMpg123Stream::Result::Frame) {
                    result = next == CMpg123Stream::Result::Failed ? -1 : 0;
                    break;
                }
                if (sink.OnFrame(header, pcm) == FrameFlow::Stop) {
                    break;
                }
            }
        } else if (source.Failed()) {
            result = -1;
        }
    } catch (...) {
        result = -1;
    }
    try {
        sink.OnRunEnd();
    } catch (...) {
        result = -1;
    }
    return result;
}

int DecodeMp3Buffer(const std::uint8_t* data, std::size_t length, FrameSink& sink)
{
    CMemoryByteSource source(data, length);
    return DecodeMp3(source, sink);
}

std::uint64_t CountMp3Samples(CByteSource& source)
{
    std::set<int> reportedErrors;
    CMpg123Stream stream(source, PcmSampleType::Int16, reportedErrors);
    if (!stream.Open()) {
        return 0;
    }
    const std::int64_t samples = stream.CountSamples();
    return samples > 0 ? static_cast<std::uint64_t>(samples) : 0;
}

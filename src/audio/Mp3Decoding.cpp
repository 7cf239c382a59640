#include "audio/Mp3Decoding.h"

#include "audio/TranscodeContext.h"

#include <cstdio>

namespace
{
// The callback data of one run: the block still to be handed to libmad and the sink.
struct DecodeRun
{
    const unsigned char* start = nullptr;
    unsigned long remaining = 0;
    FrameSink* sink = nullptr;
};

// Hands the whole block over at the first request; the second request ends the run.
mad_flow InputHandler(void* data, mad_stream* stream)
{
    auto* run = static_cast<DecodeRun*>(data);
    if (run->remaining == 0) {
        return MAD_FLOW_STOP;
    }
    mad_stream_buffer(stream, run->start, run->remaining);
    run->remaining = 0;
    return MAD_FLOW_CONTINUE;
}

mad_flow OutputHandler(void* data, const mad_header* header, mad_pcm* pcm)
{
    auto* run = static_cast<DecodeRun*>(data);
    // Nothing may unwind through libmad's C frames.
    try {
        return run->sink->OnFrame(*header, *pcm);
    } catch (...) {
        return MAD_FLOW_BREAK;
    }
}

// Damaged frames are skipped; libmad itself ends the run on an unrecoverable error.
mad_flow ErrorHandler(void* data, mad_stream* stream, mad_frame*)
{
    const auto* run = static_cast<const DecodeRun*>(data);
    const auto offset = stream->this_frame ? stream->this_frame - run->start : 0;
    std::fprintf(stderr, "decoding error 0x%04x (%s) at byte offset %u\n", static_cast<unsigned>(stream->error),
                 mad_stream_errorstr(stream), static_cast<unsigned>(offset));
    return MAD_FLOW_CONTINUE;
}

// Owns a libmad decoder for the length of one run.
class CMadDecoder
{
public:
    explicit CMadDecoder(DecodeRun& run)
    {
        mad_decoder_init(&m_decoder, &run, InputHandler, nullptr, nullptr, OutputHandler, ErrorHandler, nullptr);
    }
    ~CMadDecoder() { mad_decoder_finish(&m_decoder); }
    CMadDecoder(const CMadDecoder&) = delete;
    CMadDecoder& operator=(const CMadDecoder&) = delete;

    int Run() { return mad_decoder_run(&m_decoder, MAD_DECODER_MODE_SYNC); }

private:
    mad_decoder m_decoder{};
};

int RunDecoder(const std::uint8_t* data, std::size_t length, FrameSink& sink)
{
    DecodeRun run;
    run.start = data;
    run.remaining = data ? static_cast<unsigned long>(length) : 0;
    run.sink = &sink;
    int result = 0;
    {
        CMadDecoder decoder(run);
        result = decoder.Run();
    }
    try {
        sink.OnRunEnd();
    } catch (...) {
        result = -1;
    }
    return result;
}
} // namespace

int DecodeMp3Buffer(const std::uint8_t* data, std::size_t length, FrameSink& sink)
{
    const int result = RunDecoder(data, length, sink);
    if (auto* context = CTranscodeContext::Existing(); context && context->encoder) {
        context->encoder->Finish();
    }
    return result;
}

int DecodeMp3BufferKeepEncoder(const std::uint8_t* data, std::size_t length, FrameSink& sink)
{
    return RunDecoder(data, length, sink);
}

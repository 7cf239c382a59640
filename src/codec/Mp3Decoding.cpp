#include "codec/Mp3Decoding.h"

#include "codec/Mp3AudioSpan.h"

#include <cstdio>
#include <set>
#include <vector>

namespace
{
enum class InputStage
{
    Start, // nothing handed over yet
    Audio, // the audio between the tags
    Tail,  // the unread rest of the audio, with guard bytes behind it
};

// The callback data of one run: the audio still to be handed to libmad, the sink, and the
// kinds of error already reported.
struct DecodeRun
{
    const unsigned char* file = nullptr;
    CMp3AudioSpan audio = CMp3AudioSpan::InBuffer(nullptr, 0);
    InputStage stage = InputStage::Start;
    const unsigned char* buffer = nullptr; // what libmad reads now
    std::uint64_t bufferOffset = 0;        // where that lies in the file
    std::vector<unsigned char> tail;
    FrameSink* sink = nullptr;
    std::set<int> reportedErrors;
};

void HandOver(DecodeRun& run, mad_stream* stream, const unsigned char* bytes, std::size_t length, std::uint64_t offset)
{
    run.buffer = bytes;
    run.bufferOffset = offset;
    mad_stream_buffer(stream, bytes, static_cast<unsigned long>(length));
}

// Hands the audio over whole at the first request. libmad holds back the last frame until it
// sees MAD_BUFFER_GUARD bytes behind it, and the tags that might stand there are no longer
// part of the audio; so the second request gets the unread rest again with zeros behind it,
// and the third ends the run.
mad_flow InputHandler(void* data, mad_stream* stream)
{
    auto* run = static_cast<DecodeRun*>(data);
    switch (run->stage) {
    case InputStage::Start:
        run->stage = InputStage::Audio;
        if (run->audio.Size() == 0) {
            return MAD_FLOW_STOP;
        }
        HandOver(*run, stream, run->file + run->audio.Start(), std::size_t(run->audio.Size()), run->audio.Start());
        return MAD_FLOW_CONTINUE;
    case InputStage::Audio: {
        run->stage = InputStage::Tail;
        if (stream->next_frame == nullptr || stream->next_frame >= stream->bufend) {
            return MAD_FLOW_STOP;
        }
        const auto unread = std::size_t(stream->bufend - stream->next_frame);
        const std::uint64_t offset = run->bufferOffset + std::uint64_t(stream->next_frame - run->buffer);
        run->tail.assign(stream->next_frame, stream->bufend);
        run->tail.resize(unread + MAD_BUFFER_GUARD, 0);
        HandOver(*run, stream, run->tail.data(), run->tail.size(), offset);
        return MAD_FLOW_CONTINUE;
    }
    case InputStage::Tail:
        break;
    }
    return MAD_FLOW_STOP;
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

// Damaged frames are skipped; libmad itself ends the run on an unrecoverable error. A damaged
// file would otherwise fill the console, so each kind of error is reported once per file.
mad_flow ErrorHandler(void* data, mad_stream* stream, mad_frame*)
{
    auto* run = static_cast<DecodeRun*>(data);
    const unsigned char* at = stream->this_frame ? stream->this_frame : run->buffer;
    const std::uint64_t offset = run->bufferOffset + std::uint64_t(at - run->buffer);
    if (offset >= run->audio.End()) {
        return MAD_FLOW_CONTINUE; // the guard bytes behind the last frame
    }
    if (stream->error == MAD_ERROR_LOSTSYNC) {
        // An ID3v2 tag where the next frame was expected (files put together) is skipped whole.
        const std::uint64_t tag = CMp3AudioSpan::Id3v2TagSize(at, std::size_t(stream->bufend - at));
        if (tag != 0) {
            const bool fits = tag <= run->audio.End() - offset;
            mad_stream_skip(stream, static_cast<unsigned long>(fits ? tag : CMp3AudioSpan::kId3v2HeaderSize));
            return MAD_FLOW_CONTINUE;
        }
    }
    if (run->reportedErrors.insert(static_cast<int>(stream->error)).second) {
        std::fprintf(stderr, "decoding error 0x%04x (%s) at byte offset %llu\n", static_cast<unsigned>(stream->error),
                     mad_stream_errorstr(stream), static_cast<unsigned long long>(offset));
    }
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
    run.file = data;
    run.audio = CMp3AudioSpan::InBuffer(data, length);
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
    return RunDecoder(data, length, sink);
}

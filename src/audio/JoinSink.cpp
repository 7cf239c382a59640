#include "audio/JoinSink.h"

#include "audio/JoinState.h"
#include "audio/TranscodeContext.h"

#include <algorithm>

namespace
{
constexpr std::size_t kBytesPerSample = sizeof(std::int16_t);
} // namespace

CJoinSink::CJoinSink(CJoinState& state, const RecordFormat& target)
    : m_state(state)
    , m_target(target)
{}

bool CJoinSink::SetUpFirstFrame(const Mp3FrameHeader& header, const DecodedPcm& pcm)
{
    CTranscodeContext& context = Context();
    if (context.encoder) {
        return true; // a later file of the join
    }
    context.format = RecordFormat::Pcm16(m_target.channels, m_target.samplesPerSec);
    if (!context.EnsureEncoder(static_cast<int>(std::size_t(std::max(header.samplesPerFrame, pcm.length)) *
                                                m_target.channels * kBytesPerSample))) {
        return false;
    }
    m_state.Reset(static_cast<std::size_t>(context.encoder->ChunkBytes()), m_target.samplesPerSec, m_target.channels);
    return true;
}

bool CJoinSink::AcceptsFrame(const DecodedPcm& pcm) const
{
    return pcm.sampleRate > 0 && (pcm.channels == 1 || pcm.channels == 2);
}

FrameFlow CJoinSink::Deliver(const Mp3FrameHeader& header, const std::uint8_t* pcm, std::size_t bytes)
{
    CMp3StreamEncoder& encoder = *Context().encoder;
    const auto encode = [&encoder](const std::int16_t* chunk) {
        encoder.EncodeChunk(chunk);
        return encoder.LastError() == CMp3StreamEncoder::Error::None;
    };
    const auto channels = header.channels;
    // The converted frame sits in the context's buffer, which is aligned for 16-bit samples.
    const auto* samples = reinterpret_cast<const std::int16_t*>(pcm);
    const std::size_t totalSamples = bytes / kBytesPerSample;
    // Pieces of one chunk each, never reaching past the frame; a stereo piece keeps whole pairs.
    const std::size_t pieceSamples = m_state.ChunkBytes() / kBytesPerSample / channels * channels;
    if (pieceSamples == 0) {
        m_encodeFailed = true;
        return FrameFlow::Stop;
    }
    for (std::size_t offset = 0; offset < totalSamples; offset += pieceSamples) {
        const std::size_t count = std::min(pieceSamples, totalSamples - offset);
        if (!m_state.AddPiece(samples + offset, count, header.sampleRate, channels, encode)) {
            m_encodeFailed = true;
            return FrameFlow::Stop;
        }
    }
    return FrameFlow::Continue;
}

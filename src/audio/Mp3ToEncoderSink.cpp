#include "audio/Mp3ToEncoderSink.h"

#include "audio/TranscodeContext.h"

#include <algorithm>
#include <cstring>

bool CMp3ToEncoderSink::SetUpFirstFrame(const Mp3FrameHeader& header, const DecodedPcm& pcm)
{
    CTranscodeContext& context = Context();
    if (!context.encoder) {
        context.format = RecordFormat::Pcm16(pcm.channels, pcm.sampleRate);
    }
    return context.EnsureEncoder(static_cast<int>(WholeFramePcmBytes(header, pcm)));
}

bool CMp3ToEncoderSink::AcceptsFrame(const DecodedPcm& pcm) const
{
    const RecordFormat& format = Context().format;
    return pcm.channels == format.channels && pcm.sampleRate == format.samplesPerSec;
}

FrameFlow CMp3ToEncoderSink::Deliver(const Mp3FrameHeader&, const std::uint8_t* pcm, std::size_t bytes)
{
    return EncodePcm(pcm, bytes) ? FrameFlow::Continue : FrameFlow::Stop;
}

void CMp3ToEncoderSink::OnRunEnd()
{
    FlushPending();
}

bool CMp3ToEncoderSink::EncodeOneChunk(const std::uint8_t* chunk)
{
    CMp3StreamEncoder& encoder = *Context().encoder;
    // The encoder takes 16-bit samples; the PCM is built byte by byte, so copy when misaligned.
    if (reinterpret_cast<std::uintptr_t>(chunk) % alignof(std::int16_t) != 0) {
        m_pending.assign(chunk, chunk + encoder.ChunkBytes());
        chunk = m_pending.data();
    }
    encoder.EncodeChunk(reinterpret_cast<const std::int16_t*>(chunk));
    return encoder.LastError() == CMp3StreamEncoder::Error::None;
}

bool CMp3ToEncoderSink::EncodePcm(const std::uint8_t* pcm, std::size_t bytes)
{
    CTranscodeContext& context = Context();
    if (!context.encoder || context.encoder->ChunkBytes() <= 0) {
        return false;
    }
    const auto chunkBytes = static_cast<std::size_t>(context.encoder->ChunkBytes());

    if (m_pendingBytes > 0) {
        if (m_pending.size() < chunkBytes) {
            m_pending.resize(chunkBytes);
        }
        const std::size_t taken = std::min(bytes, chunkBytes - m_pendingBytes);
        std::memcpy(m_pending.data() + m_pendingBytes, pcm, taken);
        m_pendingBytes += taken;
        pcm += taken;
        bytes -= taken;
        if (m_pendingBytes < chunkBytes) {
            return true;
        }
        m_pendingBytes = 0;
        if (!EncodeOneChunk(m_pending.data())) {
            return false;
        }
    }
    for (; bytes >= chunkBytes; pcm += chunkBytes, bytes -= chunkBytes) {
        if (!EncodeOneChunk(pcm)) {
            return false;
        }
    }
    if (bytes > 0) {
        m_pending.resize(std::max(m_pending.size(), chunkBytes));
        std::memcpy(m_pending.data(), pcm, bytes);
        m_pendingBytes = bytes;
    }
    return true;
}

bool CMp3ToEncoderSink::FlushPending()
{
    CTranscodeContext& context = Context();
    if (m_pendingBytes == 0 || !context.encoder) {
        m_pendingBytes = 0;
        return true;
    }
    // The end of the stream: only the samples there are encoded, no silence after them.
    const auto pendingBytes = static_cast<int>(m_pendingBytes);
    m_pendingBytes = 0;
    CMp3StreamEncoder& encoder = *context.encoder;
    encoder.EncodeLastChunk(reinterpret_cast<const std::int16_t*>(m_pending.data()), pendingBytes);
    return encoder.LastError() == CMp3StreamEncoder::Error::None;
}

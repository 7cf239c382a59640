#pragma once

#include "audio/DecodingSink.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Re-encoding: every decoded frame, scaled, goes to the context's encoder. The first frame
// creates the encoder with its own channel count and sample rate and a chunk of exactly one
// frame, so each frame is normally one EncodeChunk call.
// Should the chunk and the frames not line up (an encoder opened elsewhere with another chunk,
// or frames of another length later in the file), the PCM is gathered into whole chunks, and
// the last partial chunk is completed with silence when the run ends; nothing is read past
// the frame.
class CMp3ToEncoderSink : public CDecodingSink
{
public:
    CMp3ToEncoderSink() = default;

    void OnRunEnd() override;

protected:
    bool SetUpFirstFrame(const Mp3FrameHeader& header, const DecodedPcm& pcm) override;
    // Frames of the encoder's channel count and sample rate.
    bool AcceptsFrame(const DecodedPcm& pcm) const override;
    FrameFlow Deliver(const Mp3FrameHeader& header, const std::uint8_t* pcm, std::size_t bytes) override;

    // Passes bytes of PCM to the encoder in whole chunks, holding back what does not fill one.
    // False when the encoder has failed.
    bool EncodePcm(const std::uint8_t* pcm, std::size_t bytes);
    // Encodes the held-back part, completed with silence.
    bool FlushPending();

private:
    bool EncodeOneChunk(const std::uint8_t* chunk);

    std::vector<std::uint8_t> m_pending; // a partial chunk waiting for more PCM
    std::size_t m_pendingBytes = 0;
};

#pragma once

#include "audio/JoinResampling.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// What a join carries from frame to frame and file to file: the resampler's phase and partial
// sums, the conversion buffers and the carry buffer that gathers converted PCM into whole
// encoder chunks. Memory stays at a few chunks whatever the length of the files.
class CJoinState
{
public:
    // Takes exactly one chunk of 16-bit PCM; false when the encoder failed.
    using ChunkEncoder = std::function<bool(const std::int16_t* chunk)>;
    // Takes the last, shorter piece: sampleCount 16-bit samples; false when the encoder failed.
    using LastChunkEncoder = std::function<bool(const std::int16_t* samples, std::size_t sampleCount)>;

    // The lowest sample rate an MPEG audio frame can carry; it decides the largest ratio of
    // rates, and so the size of the buffers.
    static constexpr std::uint32_t kLowestSourceRate = 8000;

    // Starts a join into chunks of chunkBytes at targetRate with targetChannels (1 or 2).
    void Reset(std::size_t chunkBytes, std::uint32_t targetRate, std::uint16_t targetChannels);
    bool IsReady() const { return m_chunkSamples > 0; }

    // Converts one piece of a frame (at most one chunk of bytes) to the target format and
    // encodes every whole chunk gathered; the rest waits in the carry buffer. False when the
    // encoder failed or the source format is none an MP3 frame can have.
    bool AddPiece(const std::int16_t* samples, std::size_t sampleCount, std::uint32_t sourceRate,
                  std::uint16_t sourceChannels, const ChunkEncoder& encode);
    // Encodes what waits in the carry buffer as the output's end: no silence is added, so the
    // output holds exactly the samples joined.
    bool FlushCarry(const LastChunkEncoder& encode);

    std::size_t ChunkBytes() const { return m_chunkSamples * sizeof(std::int16_t); }
    std::size_t CarryCount() const { return m_carryCount * sizeof(std::int16_t); } // bytes waiting
    // Bytes held by the buffers, for checking that memory stays bounded.
    std::size_t BufferBytes() const;

    // Frees the buffers; the state must be Reset before it is used again.
    void Release();

private:
    // Makes sure one piece of sampleCount samples at sourceRate fits every buffer.
    void ReserveFor(std::size_t sampleCount, std::uint32_t sourceRate);
    // Carries the resampler's state over to a piece of another source rate.
    void CarryPhaseTo(std::uint32_t sourceRate);

    std::uint32_t m_targetRate = 0;
    std::uint16_t m_targetChannels = 0;
    std::size_t m_chunkSamples = 0;

    JoinResampling::Accumulator m_phase = 0;
    std::uint32_t m_phaseRate = 0; // the source rate the phase and partial sums count in
    JoinResampling::Accumulator m_partialSumMono = 0;
    JoinResampling::Accumulator m_partialSumLeft = 0;
    JoinResampling::Accumulator m_partialSumRight = 0;

    std::vector<std::int16_t> m_resampleBuffer;
    std::vector<std::int16_t> m_channelBuffer;
    std::vector<std::int16_t> m_joinCarryBuffer;
    std::size_t m_carryCount = 0; // samples waiting in the carry buffer
};

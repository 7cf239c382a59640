#include "audio/JoinState.h"

#include <algorithm>
#include <cstring>

namespace
{
constexpr std::uint16_t kMono = 1;
constexpr std::uint16_t kStereo = 2;
// Area averaging can emit one output sample more than the ratio alone gives (the phase left
// over from the piece before), per channel.
constexpr std::size_t kPhaseSlackSamples = 2;

// Output samples per input sample, rounded up.
std::size_t RatioCeiling(std::uint32_t targetRate, std::uint32_t sourceRate)
{
    return sourceRate == 0 ? 1 : std::max<std::size_t>(1, (std::size_t(targetRate) + sourceRate - 1) / sourceRate);
}
} // namespace

void CJoinState::Reset(std::size_t chunkBytes, std::uint32_t targetRate, std::uint16_t targetChannels)
{
    m_targetRate = targetRate;
    m_targetChannels = targetChannels;
    m_chunkSamples = chunkBytes / sizeof(std::int16_t);
    m_phase = 0;
    m_phaseRate = 0;
    m_partialSumMono = 0;
    m_partialSumLeft = 0;
    m_partialSumRight = 0;
    m_carryCount = 0;
    m_resampleBuffer.clear();
    m_channelBuffer.clear();
    m_joinCarryBuffer.clear();
    // Sized at once for the largest ratio that can occur, so a join never reallocates midway.
    ReserveFor(m_chunkSamples, kLowestSourceRate);
}

void CJoinState::ReserveFor(std::size_t sampleCount, std::uint32_t sourceRate)
{
    const std::size_t resampled = sampleCount * RatioCeiling(m_targetRate, sourceRate) + kPhaseSlackSamples;
    // Mono to stereo doubles the samples.
    const std::size_t converted = resampled * kStereo;
    if (m_resampleBuffer.size() < resampled) {
        m_resampleBuffer.resize(resampled);
    }
    if (m_channelBuffer.size() < converted) {
        m_channelBuffer.resize(converted);
    }
    if (m_joinCarryBuffer.size() < m_chunkSamples + converted) {
        m_joinCarryBuffer.resize(m_chunkSamples + converted);
    }
}

bool CJoinState::AddPiece(const std::int16_t* samples, std::size_t sampleCount, std::uint32_t sourceRate,
                          std::uint16_t sourceChannels, const ChunkEncoder& encode)
{
    if (!IsReady() || sourceRate < kLowestSourceRate || (sourceChannels != kMono && sourceChannels != kStereo)) {
        return false;
    }
    // Only a piece longer than a chunk (never made by the sink) could need more room.
    ReserveFor(sampleCount, sourceRate);

    if (sourceRate != m_targetRate) {
        CarryPhaseTo(sourceRate);
    }
    std::size_t count = 0;
    if (sourceRate == m_targetRate) {
        std::copy_n(samples, sampleCount, m_resampleBuffer.begin());
        count = sampleCount;
    } else if (sourceChannels == kStereo) {
        ResampleStereo(samples, m_resampleBuffer.data(), sourceRate, m_targetRate, m_phase, m_partialSumLeft,
                       m_partialSumRight, sampleCount / kStereo, count);
    } else {
        ResampleMono(samples, m_resampleBuffer.data(), sourceRate, m_targetRate, m_phase, m_partialSumMono, sampleCount,
                     count);
    }

    const std::int16_t* converted = m_resampleBuffer.data();
    if (sourceChannels != m_targetChannels) {
        if (sourceChannels == kMono) {
            for (std::size_t i = 0; i < count; ++i) {
                m_channelBuffer[2 * i] = m_resampleBuffer[i];
                m_channelBuffer[2 * i + 1] = m_resampleBuffer[i];
            }
            count *= kStereo;
        } else {
            count /= kStereo;
            for (std::size_t i = 0; i < count; ++i) {
                m_channelBuffer[i] = MixStereoPair(m_resampleBuffer[2 * i], m_resampleBuffer[2 * i + 1]);
            }
        }
        converted = m_channelBuffer.data();
    }

    std::copy_n(converted, count, m_joinCarryBuffer.begin() + static_cast<std::ptrdiff_t>(m_carryCount));
    m_carryCount += count;
    std::size_t taken = 0;
    bool ok = true;
    while (ok && m_carryCount - taken >= m_chunkSamples) {
        ok = encode(m_joinCarryBuffer.data() + taken);
        taken += m_chunkSamples;
    }
    if (taken > 0) {
        std::memmove(m_joinCarryBuffer.data(), m_joinCarryBuffer.data() + taken,
                     (m_carryCount - taken) * sizeof(std::int16_t));
        m_carryCount -= taken;
    }
    return ok;
}

void CJoinState::CarryPhaseTo(std::uint32_t sourceRate)
{
    // The phase and the partial sums count time in units of the source rate they were built at.
    // Carried unchanged into a file of a lower rate they would stand for more than one output
    // sample and repeat the new file's first sample; rescaled, the time line stays continuous.
    if (m_phaseRate != 0 && m_phaseRate != sourceRate) {
        const auto rescale = [&](JoinResampling::Accumulator& value) { value = value * sourceRate / m_phaseRate; };
        rescale(m_phase);
        rescale(m_partialSumMono);
        rescale(m_partialSumLeft);
        rescale(m_partialSumRight);
    }
    m_phaseRate = sourceRate;
}

bool CJoinState::FlushCarry(const LastChunkEncoder& encode)
{
    if (!IsReady() || m_carryCount == 0) {
        return true;
    }
    const std::size_t count = m_carryCount;
    m_carryCount = 0;
    return encode(m_joinCarryBuffer.data(), count);
}

std::size_t CJoinState::BufferBytes() const
{
    return (m_resampleBuffer.size() + m_channelBuffer.size() + m_joinCarryBuffer.size()) * sizeof(std::int16_t);
}

void CJoinState::Release()
{
    std::vector<std::int16_t>().swap(m_resampleBuffer);
    std::vector<std::int16_t>().swap(m_channelBuffer);
    std::vector<std::int16_t>().swap(m_joinCarryBuffer);
    m_chunkSamples = 0;
    m_carryCount = 0;
}

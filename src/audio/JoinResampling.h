#pragma once

#include <cstddef>
#include <cstdint>

// Sample-rate and channel conversion for joining files of different formats into one stream.
// Integer arithmetic only; the state (phase and partial sums) carries over from call to call,
// so a stream cut into pieces anywhere converts exactly as it would in one piece.
//
// Rate conversion averages areas on a common time line: an input sample lasts targetRate
// units, an output sample sourceRate units. Samples are handled as unsigned values
// (sample + 32767) so the averages never round toward the wrong sign.
namespace JoinResampling
{
// Wide enough for a partial sum of a full-scale sample over the longest output sample.
using Accumulator = std::int64_t;
} // namespace JoinResampling

// Converts sampleCount mono samples; producedCount receives the number of output samples
// (at most sampleCount * targetRate / sourceRate + 1).
void ResampleMono(const std::int16_t* source, std::int16_t* destination, std::uint32_t sourceRate,
                  std::uint32_t targetRate, JoinResampling::Accumulator& phase, JoinResampling::Accumulator& partialSum,
                  std::size_t sampleCount, std::size_t& producedCount);

// The same for pairCount interleaved stereo pairs, one partial sum per channel and a shared
// phase; producedCount counts single samples (two per pair).
void ResampleStereo(const std::int16_t* source, std::int16_t* destination, std::uint32_t sourceRate,
                    std::uint32_t targetRate, JoinResampling::Accumulator& phase,
                    JoinResampling::Accumulator& partialSumLeft, JoinResampling::Accumulator& partialSumRight,
                    std::size_t pairCount, std::size_t& producedCount);

// One mono sample from a stereo pair: the ceiling of the mean.
std::int16_t MixStereoPair(std::int16_t left, std::int16_t right);

#include "audio/JoinResampling.h"

namespace
{
using JoinResampling::Accumulator;

// Shifts a signed 16-bit sample into 0..65534 and back.
constexpr Accumulator kSampleOffset = 32767;

Accumulator Unsigned(std::int16_t sample)
{
    return Accumulator(sample) + kSampleOffset;
}

std::int16_t Signed(Accumulator value)
{
    return static_cast<std::int16_t>(value - kSampleOffset);
}
} // namespace

void ResampleMono(const std::int16_t* source, std::int16_t* destination, std::uint32_t sourceRate,
                  std::uint32_t targetRate, Accumulator& phase, Accumulator& partialSum, std::size_t sampleCount,
                  std::size_t& producedCount)
{
    const Accumulator a = sourceRate;
    const Accumulator b = targetRate;
    producedCount = 0;
    for (std::size_t i = 0; i < sampleCount; ++i) {
        const Accumulator u = Unsigned(source[i]);
        const Accumulator c = phase;
        phase = c + b;
        if (c + b < a) {
            partialSum += b * u;
            continue;
        }
        destination[producedCount++] = Signed((partialSum + u * (a - c)) / a);
        partialSum = 0;
        phase -= a;
        while (phase >= a) {
            destination[producedCount++] = Signed(u * a / a);
            phase -= a;
        }
        partialSum = phase * u;
    }
}

void ResampleStereo(const std::int16_t* source, std::int16_t* destination, std::uint32_t sourceRate,
                    std::uint32_t targetRate, Accumulator& phase, Accumulator& partialSumLeft,
                    Accumulator& partialSumRight, std::size_t pairCount, std::size_t& producedCount)
{
    const Accumulator a = sourceRate;
    const Accumulator b = targetRate;
    producedCount = 0;
    for (std::size_t i = 0; i < pairCount; ++i) {
        const Accumulator left = Unsigned(source[2 * i]);
        const Accumulator right = Unsigned(source[2 * i + 1]);
        const Accumulator c = phase;
        phase = c + b;
        if (c + b < a) {
            partialSumLeft += b * left;
            partialSumRight += b * right;
            continue;
        }
        destination[producedCount++] = Signed((partialSumLeft + left * (a - c)) / a);
        destination[producedCount++] = Signed((partialSumRight + right * (a - c)) / a);
        partialSumLeft = 0;
        partialSumRight = 0;
        phase -= a;
        while (phase >= a) {
            destination[producedCount++] = Signed(left * a / a);
            destination[producedCount++] = Signed(right * a / a);
            phase -= a;
        }
        partialSumLeft = phase * left;
        partialSumRight = phase * right;
    }
}

std::int16_t MixStereoPair(std::int16_t left, std::int16_t right)
{
    constexpr int kOffsetPair = 2 * static_cast<int>(kSampleOffset);
    // Division truncates toward zero, which for these offset sums is the ceiling of the mean.
    return static_cast<std::int16_t>((int(left) + int(right) - kOffsetPair) / 2 + int(kSampleOffset));
}

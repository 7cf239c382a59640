// Feeds arbitrary bytes to the WAV reader as a program resource image and walks through the
// sample data the way the player and the conversions do: small reads, skips, large reads,
// rewinding and reading to the end.
#include "codec/WaveFile.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace
{
constexpr std::uint32_t kLargeRead = 200000; // larger than the reader's block buffer
constexpr std::uint32_t kPlayerRead = 16384;
constexpr std::uint32_t kLongSkip = 100000;

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

std::uint32_t ReadStep(CWaveFile& wave, std::vector<std::uint8_t>& buffer, std::uint32_t count, bool skip)
{
    std::uint32_t got = 0;
    const CWaveFile::Result result = wave.Read(skip ? nullptr : buffer.data(), count, &got);
    Check(result == CWaveFile::S_OK);
    Check(got <= count);
    return got;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CWaveFile wave;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (wave.OpenMemory(bytes) != CWaveFile::S_OK) {
        Check(!wave.IsOpen() && wave.Format() == nullptr);
        return 0;
    }
    const WaveFormat* format = wave.Format();
    Check(format != nullptr && format->extra.size() == format->extraSize);
    const std::uint32_t dataSize = wave.GetSize();
    Check(dataSize <= size);

    static std::vector<std::uint8_t> buffer(kLargeRead);
    std::uint64_t consumed = 0;
    consumed += ReadStep(wave, buffer, 1, false);
    consumed += ReadStep(wave, buffer, 3, true);
    consumed += ReadStep(wave, buffer, 4096, false);
    consumed += ReadStep(wave, buffer, kLongSkip, true);
    consumed += ReadStep(wave, buffer, kLargeRead, false);
    Check(consumed <= dataSize);

    Check(wave.ResetFile() == CWaveFile::S_OK);
    std::uint64_t total = 0;
    for (;;) {
        const std::uint32_t got = ReadStep(wave, buffer, kPlayerRead, false);
        if (got == 0) {
            break;
        }
        total += got;
    }
    Check(total == dataSize);
    Check(wave.Close() == CWaveFile::S_OK);
    return 0;
}

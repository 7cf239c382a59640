#include "tags/WaveClipSource.h"

#include "codec/WaveFile.h"

#include <QFileInfo>
#include <algorithm>
#include <vector>

namespace
{
constexpr std::int64_t kMillisecondsPerSecond = 1000;
// About 90 ms of CD-quality stereo per read: small enough to stop promptly, large enough that
// reading costs nothing beside playing.
constexpr std::uint32_t kReadBlockBytes = 16384;
constexpr int kUnsigned8Bits = 8;
constexpr int kSigned16Bits = 16;
} // namespace

bool CWaveClipSource::Load(const QString& path)
{
    // Only regular files: a FIFO or a device would block or never end.
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        return false;
    }
    CWaveFile file;
    if (file.Open(path, nullptr, CWaveFile::kModeRead) != CWaveFile::S_OK || file.Format() == nullptr) {
        return false;
    }
    const WaveFormat& format = *file.Format();
    file.Close();
    if (format.formatTag != WaveFormat::kPcmTag ||
        (format.bitsPerSample != kUnsigned8Bits && format.bitsPerSample != kSigned16Bits)) {
        return false;
    }
    m_format = PcmFormat{format.channels, format.samplesPerSec, format.bitsPerSample};
    m_path = path;
    return m_format.IsValid();
}

bool CWaveClipSource::Run(std::int64_t startMs, const PcmConsumer& consumer)
{
    CWaveFile file;
    if (m_path.isEmpty() || file.Open(m_path, nullptr, CWaveFile::kModeRead) != CWaveFile::S_OK) {
        return false;
    }
    const std::uint32_t blockAlign = static_cast<std::uint32_t>(m_format.BlockAlign());
    const std::uint64_t startByte = static_cast<std::uint64_t>(std::max<std::int64_t>(startMs, 0)) *
                                    m_format.BytesPerSecond() / kMillisecondsPerSecond / blockAlign * blockAlign;
    std::uint32_t skipped = 0;
    const auto skip = static_cast<std::uint32_t>(std::min<std::uint64_t>(startByte, file.GetSize()));
    if (file.Read(nullptr, skip, &skipped) != CWaveFile::S_OK) {
        return false;
    }
    std::vector<std::uint8_t> block(kReadBlockBytes / blockAlign * blockAlign);
    for (;;) {
        std::uint32_t got = 0;
        const CWaveFile::Result result = file.Read(block.data(), static_cast<std::uint32_t>(block.size()), &got);
        // A data chunk cut short still plays up to its last whole sample.
        got = got / blockAlign * blockAlign;
        if (got > 0 && !consumer(block.data(), got)) {
            return true;
        }
        if (result != CWaveFile::S_OK || got == 0) {
            return result == CWaveFile::S_OK;
        }
    }
}

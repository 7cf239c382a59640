#include "codec/MediaLength.h"

#include "codec/Mp3AudioSpan.h"
#include "codec/MpegFrameScanner.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace
{
constexpr std::int64_t kMillisecondsPerSecond = 1000;

// Random access to the bytes being measured, a buffer or a file: the tag and chunk walks below
// read a few header bytes here and there and nothing else.
class BufferReader
{
public:
    BufferReader(const std::uint8_t* data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {}
    std::uint64_t Size() const { return m_size; }
    bool Read(std::uint64_t offset, std::size_t length, std::uint8_t* out) const
    {
        if (offset > m_size || length > m_size - offset) {
            return false;
        }
        std::memcpy(out, m_data + offset, length);
        return true;
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
};

class FileReader
{
public:
    explicit FileReader(QFile& file)
        : m_file(file)
        , m_size(std::uint64_t(std::max<qint64>(file.size(), 0)))
    {}
    std::uint64_t Size() const { return m_size; }
    bool Read(std::uint64_t offset, std::size_t length, std::uint8_t* out) const
    {
        if (offset > m_size || length > m_size - offset || !m_file.seek(qint64(offset))) {
            return false;
        }
        return m_file.read(reinterpret_cast<char*>(out), qint64(length)) == qint64(length);
    }

private:
    QFile& m_file;
    std::uint64_t m_size;
};

std::uint32_t ReadLe32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

std::uint16_t ReadLe16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

constexpr std::size_t kRiffHeaderSize = 12;
constexpr std::size_t kChunkHeaderSize = 8;
constexpr std::size_t kMinimumFormatSize = 16;
constexpr std::size_t kFormatSampleRateOffset = 4;
constexpr std::size_t kFormatByteRateOffset = 8;
constexpr std::size_t kFormatBlockAlignOffset = 12;

template <typename Reader>
bool IsWave(const Reader& reader)
{
    std::array<std::uint8_t, kRiffHeaderSize> header{};
    return reader.Read(0, header.size(), header.data()) && std::memcmp(header.data(), "RIFF", 4) == 0 &&
           std::memcmp(header.data() + 8, "WAVE", 4) == 0;
}

// Data bytes / bytes per second, from the "fmt " and "data" chunks wherever they stand.
template <typename Reader>
std::int64_t WaveLength(const Reader& reader)
{
    if (!IsWave(reader)) {
        return 0;
    }
    const std::uint64_t size = reader.Size();
    std::uint64_t bytesPerSecond = 0;
    std::uint64_t dataBytes = 0;
    bool haveFormat = false;
    bool haveData = false;
    std::uint64_t position = kRiffHeaderSize;
    std::array<std::uint8_t, kChunkHeaderSize> chunk{};
    std::array<std::uint8_t, kMinimumFormatSize> format{};
    while (!(haveFormat && haveData) && reader.Read(position, chunk.size(), chunk.data())) {
        const std::uint64_t body = position + kChunkHeaderSize;
        const std::uint64_t available = size - body;
        const std::uint64_t chunkSize = ReadLe32(chunk.data() + 4);
        if (std::memcmp(chunk.data(), "fmt ", 4) == 0 && !haveFormat && chunkSize >= kMinimumFormatSize &&
            reader.Read(body, format.size(), format.data())) {
            bytesPerSecond = ReadLe32(format.data() + kFormatByteRateOffset);
            if (bytesPerSecond == 0) {
                // Some writers leave the byte rate out; it follows from the frame size and rate.
                bytesPerSecond = std::uint64_t(ReadLe32(format.data() + kFormatSampleRateOffset)) *
                                 ReadLe16(format.data() + kFormatBlockAlignOffset);
            }
            haveFormat = true;
        } else if (std::memcmp(chunk.data(), "data", 4) == 0 && !haveData) {
            // A data chunk claiming more than the file holds ends with the file.
            dataBytes = std::min(chunkSize, available);
            haveData = true;
        }
        if (chunkSize >= available) {
            break;
        }
        // Chunks start on even offsets; a pad byte follows an odd-sized body.
        position = body + chunkSize + (chunkSize & 1);
    }
    if (!haveFormat || !haveData || bytesPerSecond == 0) {
        return 0;
    }
    return std::int64_t(dataBytes * kMillisecondsPerSecond / bytesPerSecond);
}

// Reading in blocks through one small buffer beats mapping the file: a mapping pays a page-table
// entry and a TLB miss for every 4 KB page, and frame headers sit on nearly every page.
constexpr std::size_t kReadBlockSize = 256 * 1024;

std::int64_t Mp3FileLength(QFile& file)
{
    const FileReader reader(file);
    const CMp3AudioSpan audio =
        CMp3AudioSpan::Find(reader.Size(), [&reader](std::uint64_t offset, std::size_t length, std::uint8_t* out) {
            return reader.Read(offset, length, out);
        });
    const std::uint64_t end = audio.End();
    CMpegFrameScanner scanner(audio.Start(), end);
    std::vector<std::uint8_t> block(std::max(kReadBlockSize, CMpegFrameScanner::kLookahead * 2));
    while (!scanner.Finished()) {
        const std::uint64_t offset = scanner.NextOffset();
        const auto length = std::size_t(std::min<std::uint64_t>(block.size(), end - offset));
        if (!reader.Read(offset, length, block.data())) {
            break; // the file shrank while being measured
        }
        scanner.Scan(block.data(), length);
        if (!scanner.Finished() && scanner.NextOffset() == offset) {
            break; // cannot happen with a block larger than the lookahead; never spin
        }
    }
    return scanner.Milliseconds();
}
} // namespace

namespace
{
CMpegFrameScanner ScanBuffer(const std::uint8_t* data, std::size_t size)
{
    const CMp3AudioSpan audio = CMp3AudioSpan::InBuffer(data, size);
    CMpegFrameScanner scanner(audio.Start(), audio.End());
    // The scanner may skip a tag that reaches past the window it is given; go on from there.
    while (data != nullptr && !scanner.Finished()) {
        const std::uint64_t offset = scanner.NextOffset();
        scanner.Scan(data + offset, std::size_t(audio.End() - offset));
    }
    return scanner;
}
} // namespace

std::int64_t CMediaLength::Mp3LengthMs(const std::uint8_t* data, std::size_t size)
{
    return ScanBuffer(data, size).Milliseconds();
}

std::uint64_t CMediaLength::Mp3Samples(const std::uint8_t* data, std::size_t size)
{
    return ScanBuffer(data, size).Samples();
}

std::int64_t CMediaLength::WavLengthMs(const std::uint8_t* data, std::size_t size)
{
    if (data == nullptr) {
        return 0;
    }
    return WaveLength(BufferReader(data, size));
}

std::int64_t CMediaLength::QueryLength(const QString& path)
{
    // Only regular files: opening a FIFO or a device would block or never end.
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        return 0;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || file.size() <= 0) {
        return 0;
    }
    const FileReader reader(file);
    return IsWave(reader) ? WaveLength(reader) : Mp3FileLength(file);
}

#include "codec/MediaLength.h"

#include "codec/Mp3AudioSpan.h"
#include "codec/MpegFrameScanner.h"
#include "codec/XingHeader.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
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
    const std::uint8_t* Data() const { return m_data; }
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
// The first block only has to reach the first frame: when that frame tells the length, the rest
// of the file is never read.
constexpr std::size_t kFirstBlockSize = 32 * 1024;

// What a decoder that honours the LAME tag drops besides the encoder's delay: the first 529
// samples a layer III decoder gives are its own delay, and at the end it never drops fewer.
constexpr std::uint64_t kDecoderDelay = 529;

struct Mp3Length
{
    std::int64_t milliseconds = 0;
    std::uint64_t samples = 0;
};

// Samples the tag frame's LAME tag cuts from a stream, beside the tag frame itself.
std::uint64_t TrimmedSamples(const CXingHeader& xing)
{
    // Without a frame count a player cannot find where the padding starts and cuts nothing.
    if (!xing.LameTag() || !xing.FrameCount()) {
        return 0;
    }
    const CLameTag& lame = *xing.LameTag();
    return std::uint64_t(lame.EncoderDelay()) + std::max(std::uint64_t(lame.Padding()), kDecoderDelay);
}

std::int64_t MillisecondsOf(std::uint64_t samples, int sampleRate)
{
    return std::int64_t(samples * kMillisecondsPerSecond / std::uint64_t(sampleRate));
}

// The tag frame's counts are believed only when they fit the bytes that follow it: a file cut
// short or grown since it was written, or a damaged frame, has the frames counted instead.
bool CountsFitStream(const CXingHeader& xing, std::uint64_t streamBytes)
{
    const CMpegFrameHeader& frame = xing.Frame();
    if (!xing.FrameCount() || *xing.FrameCount() == 0 || streamBytes < frame.length) {
        return false;
    }
    const std::uint64_t frames = *xing.FrameCount();
    const std::uint64_t audioBytes = streamBytes - frame.length;
    if (audioBytes < frames * frame.ShortestFrameLength() || audioBytes > frames * frame.LongestFrameLength()) {
        return false;
    }
    // An Info frame heads a constant bit rate: every frame as long as the tag frame, give or take
    // the one byte of padding. A tag frame at another bit rate has its stream counted.
    if (xing.GetKind() == CXingHeader::Kind::Info &&
        (audioBytes < frames * (frame.length - 1) || audioBytes > frames * (frame.length + 1))) {
        return false;
    }
    // Writers count the tag frame in, or now and then leave it out.
    return !xing.ByteCount() || *xing.ByteCount() == streamBytes || *xing.ByteCount() == audioBytes;
}

Mp3Length LengthFromTagFrame(const CXingHeader& xing)
{
    const std::uint64_t samples = std::uint64_t(*xing.FrameCount()) * std::uint64_t(xing.Frame().samples);
    const std::uint64_t trimmed = TrimmedSamples(xing);
    const std::uint64_t played = samples > trimmed ? samples - trimmed : 0;
    return {MillisecondsOf(played, xing.Frame().SampleRate()), played};
}

Mp3Length LengthFromScan(const CMpegFrameScanner& scanner, const std::optional<CXingHeader>& xing)
{
    if (!xing) {
        return {scanner.Milliseconds(), scanner.Samples()};
    }
    // The tag frame is no sound; the LAME tag's cuts come off the frames counted.
    const std::uint64_t left = std::uint64_t(xing->Frame().samples) + TrimmedSamples(*xing);
    const std::uint64_t samples = scanner.Samples();
    return {scanner.MillisecondsWithout(xing->Frame().SampleRate(), left), samples > left ? samples - left : 0};
}

enum class TagFrame
{
    Honoured, // as a gapless player plays the file
    Ignored   // as a player that decodes every frame plays it
};

// Scans the audio block by block. The first frame found is looked at for a tag frame whose counts
// give the length at once; otherwise every frame is counted.
template <typename Reader>
Mp3Length MeasureMp3(const Reader& reader, TagFrame tagFrame)
{
    const CMp3AudioSpan audio =
        CMp3AudioSpan::Find(reader.Size(), [&reader](std::uint64_t offset, std::size_t length, std::uint8_t* out) {
            return reader.Read(offset, length, out);
        });
    const std::uint64_t end = audio.End();
    CMpegFrameScanner scanner(audio.Start(), end);
    std::optional<CXingHeader> xing;
    bool firstFrameSeen = false;
    // Each block must reach past the scanner's lookahead for it to get anywhere.
    std::size_t blockSize = std::max(kFirstBlockSize, 2 * CMpegFrameScanner::kLookahead);
    while (!scanner.Finished()) {
        const std::uint64_t offset = scanner.NextOffset();
        const auto length = std::size_t(std::min<std::uint64_t>(blockSize, end - offset));
        const std::uint8_t* block = reader.View(offset, length);
        if (block == nullptr) {
            break; // the file shrank while being measured
        }
        scanner.Scan(block, length);
        if (tagFrame == TagFrame::Honoured && !firstFrameSeen && scanner.FirstFrameOffset()) {
            firstFrameSeen = true;
            // A frame is only decided with its whole length inside the block.
            const std::uint64_t first = *scanner.FirstFrameOffset();
            xing = CXingHeader::Read(block + (first - offset), std::size_t(offset + length - first));
            if (xing && CountsFitStream(*xing, end - first)) {
                return LengthFromTagFrame(*xing);
            }
        }
        if (!scanner.Finished() && scanner.NextOffset() == offset) {
            break; // cannot happen with a block larger than the lookahead; never spin
        }
        blockSize = std::max(reader.BlockSize(), 2 * CMpegFrameScanner::kLookahead);
    }
    return LengthFromScan(scanner, xing);
}

class BufferView : public BufferReader
{
public:
    using BufferReader::BufferReader;
    const std::uint8_t* View(std::uint64_t offset, std::size_t length) const
    {
        return offset <= Size() && length <= Size() - offset ? Data() + offset : nullptr;
    }
    static std::size_t BlockSize() { return SIZE_MAX; }
};

class FileView : public FileReader
{
public:
    using FileReader::FileReader;
    const std::uint8_t* View(std::uint64_t offset, std::size_t length) const
    {
        m_block.resize(std::max(m_block.size(), length));
        return Read(offset, length, m_block.data()) ? m_block.data() : nullptr;
    }
    static std::size_t BlockSize() { return kReadBlockSize; }

private:
    mutable std::vector<std::uint8_t> m_block;
};

Mp3Length MeasureBuffer(const std::uint8_t* data, std::size_t size, TagFrame tagFrame)
{
    if (data == nullptr) {
        return {};
    }
    return MeasureMp3(BufferView(data, size), tagFrame);
}
} // namespace

std::int64_t CMediaLength::Mp3LengthMs(const std::uint8_t* data, std::size_t size)
{
    return MeasureBuffer(data, size, TagFrame::Honoured).milliseconds;
}

std::uint64_t CMediaLength::Mp3Samples(const std::uint8_t* data, std::size_t size)
{
    return MeasureBuffer(data, size, TagFrame::Ignored).samples;
}

std::uint64_t CMediaLength::Mp3PlayedSamples(const std::uint8_t* data, std::size_t size)
{
    return MeasureBuffer(data, size, TagFrame::Honoured).samples;
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
    if (IsWave(reader)) {
        return WaveLength(reader);
    }
    return MeasureMp3(FileView(file), TagFrame::Honoured).milliseconds;
}

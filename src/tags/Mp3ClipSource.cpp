#include "tags/Mp3ClipSource.h"

#include "codec/FileByteSource.h"
#include "codec/MemoryByteSource.h"
#include "codec/Mpg123Stream.h"

#include <algorithm>
#include <bit>
#include <vector>

namespace
{
constexpr std::int64_t kMillisecondsPerSecond = 1000;
constexpr std::size_t kBytesPerSample = sizeof(std::int16_t);
constexpr unsigned kBitsPerByte = 8;
constexpr unsigned kLowByteMask = 0xFF;

// Samples in the order and byte order the output takes: 16-bit little-endian, interleaved.
void StoreLittleEndian(const std::int16_t* samples, std::size_t count, std::vector<std::uint8_t>& out)
{
    out.resize(count * kBytesPerSample);
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(out.data(), samples, out.size());
    } else {
        for (std::size_t i = 0; i < count; ++i) {
            const auto value = static_cast<std::uint16_t>(samples[i]);
            out[kBytesPerSample * i] = static_cast<std::uint8_t>(value & kLowByteMask);
            out[kBytesPerSample * i + 1] = static_cast<std::uint8_t>(value >> kBitsPerByte);
        }
    }
}
} // namespace

bool CMp3ClipSource::Load(const QString& path)
{
    m_loaded = false;
    m_bytes.clear();
    m_path = path;
    CFileByteSource file;
    if (!file.Open(path)) {
        return false;
    }
    m_reportedErrors.clear();
    m_loaded = TakeFormat(file);
    return m_loaded;
}

bool CMp3ClipSource::LoadBytes(const QByteArray& bytes)
{
    m_loaded = false;
    m_path.clear();
    m_bytes = bytes;
    m_reportedErrors.clear();
    CMemoryByteSource memory(reinterpret_cast<const std::uint8_t*>(m_bytes.constData()),
                             static_cast<std::size_t>(m_bytes.size()));
    m_loaded = TakeFormat(memory);
    return m_loaded;
}

bool CMp3ClipSource::TakeFormat(CByteSource& source)
{
    CMpg123Stream stream(source, PcmSampleType::Int16, m_reportedErrors);
    Mp3FrameHeader header;
    DecodedPcm pcm;
    if (!stream.Open() || stream.Next(header, pcm) != CMpg123Stream::Result::Frame) {
        return false;
    }
    m_format = PcmFormat::Pcm16(pcm.channels, pcm.sampleRate);
    return m_format.IsValid();
}

bool CMp3ClipSource::Run(std::int64_t startMs, const PcmConsumer& consumer)
{
    if (!m_loaded) {
        return false;
    }
    if (!m_path.isEmpty()) {
        CFileByteSource file;
        return file.Open(m_path) && RunOver(file, startMs, consumer);
    }
    CMemoryByteSource memory(reinterpret_cast<const std::uint8_t*>(m_bytes.constData()),
                             static_cast<std::size_t>(m_bytes.size()));
    return RunOver(memory, startMs, consumer);
}

bool CMp3ClipSource::RunOver(CByteSource& source, std::int64_t startMs, const PcmConsumer& consumer)
{
    CMpg123Stream stream(source, PcmSampleType::Int16, m_reportedErrors);
    if (!stream.Open()) {
        return false;
    }
    const std::uint64_t firstSample =
        static_cast<std::uint64_t>(std::max<std::int64_t>(startMs, 0)) * m_format.sampleRate / kMillisecondsPerSecond;
    if (firstSample > 0 && !stream.SeekToSample(firstSample)) {
        return true; // past the end: nothing left to hear
    }
    Mp3FrameHeader header;
    DecodedPcm pcm;
    std::vector<std::uint8_t> bytes;
    for (;;) {
        const CMpg123Stream::Result next = stream.Next(header, pcm);
        if (next != CMpg123Stream::Result::Frame) {
            return next == CMpg123Stream::Result::End;
        }
        // A false sync, or a stream change the open output cannot take.
        if (pcm.sampleRate != m_format.sampleRate || pcm.channels != m_format.channels) {
            continue;
        }
        StoreLittleEndian(pcm.int16, pcm.SampleCount(), bytes);
        if (!consumer(bytes.data(), bytes.size())) {
            return true;
        }
    }
}

#include "codec/InfoTagRepair.h"

#include "codec/Mp3TagRegions.h"
#include "platform/lame_enc/InfoTagFrame.h"

#include <QFile>

namespace
{
// The end of a stream cut off mid-way is unknown. What decoders can bring out of its frames ends
// this many samples before the last frame does: the rest needs a next frame to overlap with.
constexpr int kUndecodableTail = 529;

// Frames of one stream share sync, version, layer, protection and sample rate bits.
constexpr std::uint8_t kRateBitsMask = 0x0C;

bool SameStream(const std::uint8_t* first, const std::uint8_t* header)
{
    return header[0] == first[0] && header[1] == first[1] && (header[2] & kRateBitsMask) == (first[2] & kRateBitsMask);
}
} // namespace

std::vector<std::uint8_t> CInfoTagRepair::FilledFrame(const std::uint8_t* data, std::size_t size, std::size_t& offset)
{
    const Mp3TagRegions regions = Mp3TagRegions::Find(data, size);
    const std::size_t audioStart = regions.leadingBytes;
    const std::size_t audioEnd = size - regions.trailingBytes;
    InfoTagFacts facts;
    std::size_t tagBytes = 0;
    if (audioStart >= audioEnd || !InfoTagFrame::Parse(data + audioStart, audioEnd - audioStart, facts, &tagBytes) ||
        !facts.placeholder) {
        return {};
    }
    // Every whole frame of the stream up to the first one cut short or foreign.
    std::uint32_t frames = 0;
    std::uint16_t crc = 0;
    std::size_t position = audioStart + tagBytes;
    const std::uint8_t* first = nullptr;
    while (audioEnd - position >= InfoTagFrame::kHeaderBytes) {
        const std::uint8_t* header = data + position;
        const std::size_t frameBytes = InfoTagFrame::Layer3FrameBytes(header);
        if (frameBytes == 0 || frameBytes > audioEnd - position || (first != nullptr && !SameStream(first, header))) {
            break;
        }
        if (first == nullptr) {
            first = header;
        }
        crc = InfoTagFrame::Crc16(crc, header, frameBytes);
        ++frames;
        position += frameBytes;
    }
    facts.placeholder = false;
    facts.frameCount = frames;
    facts.audioBytes = position - audioStart - tagBytes;
    facts.musicCrc = crc;
    facts.padding = kUndecodableTail;
    std::vector<std::uint8_t> frame = InfoTagFrame::Build(facts);
    // The filled frame must take exactly the place of the placeholder.
    if (frame.size() != tagBytes) {
        return {};
    }
    offset = audioStart;
    return frame;
}

CInfoTagRepair::Result CInfoTagRepair::FillFromFrames(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly)) {
        return Result::Failed;
    }
    const qint64 size = file.size();
    if (size <= 0) {
        return Result::NothingToFill;
    }
    const std::uint8_t* data = file.map(0, size);
    if (data == nullptr) {
        return Result::Failed;
    }
    std::size_t offset = 0;
    const std::vector<std::uint8_t> frame = FilledFrame(data, static_cast<std::size_t>(size), offset);
    file.unmap(const_cast<std::uint8_t*>(data));
    if (frame.empty()) {
        return Result::NothingToFill;
    }
    const auto length = static_cast<qint64>(frame.size());
    if (!file.seek(static_cast<qint64>(offset)) ||
        file.write(reinterpret_cast<const char*>(frame.data()), length) != length || !file.flush()) {
        return Result::Failed;
    }
    return Result::Filled;
}

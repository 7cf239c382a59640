#include "Mp3Check.h"

#include "support/TestSupport.h"

#include <QStringList>
#include <array>

namespace Mp3Check
{
namespace
{
constexpr std::array<int, 16> kMpeg1Bitrates = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
constexpr std::array<int, 16> kMpeg2Bitrates = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
constexpr std::array<int, 3> kMpeg1Rates = {44100, 48000, 32000};
constexpr std::array<int, 3> kMpeg2Rates = {22050, 24000, 16000};
constexpr std::array<int, 3> kMpeg25Rates = {11025, 12000, 8000};
constexpr int kHeaderBytes = 4;
constexpr int kCrcBytes = 2;

int Byte(const QByteArray& data, qsizetype index)
{
    return static_cast<unsigned char>(data[index]);
}
} // namespace

bool ParseFrame(const QByteArray& data, qsizetype offset, FrameHeader& header)
{
    if (offset + kHeaderBytes + kCrcBytes + 2 > data.size()) {
        return false;
    }
    const int b1 = Byte(data, offset + 1);
    const int b2 = Byte(data, offset + 2);
    const int b3 = Byte(data, offset + 3);
    const int version = (b1 >> 3) & 3; // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const int layer = (b1 >> 1) & 3;   // 1 = layer III
    const int bitrateIndex = b2 >> 4;
    const int rateIndex = (b2 >> 2) & 3;
    if (Byte(data, offset) != 0xFF || (b1 & 0xE0) != 0xE0 || version == 1 || layer != 1 || rateIndex == 3) {
        return false;
    }
    const bool mpeg1 = version == 3;
    header.bitrateKbps = (mpeg1 ? kMpeg1Bitrates : kMpeg2Bitrates)[std::size_t(bitrateIndex)];
    if (header.bitrateKbps == 0) {
        return false;
    }
    header.sampleRate = (mpeg1 ? kMpeg1Rates : version == 2 ? kMpeg2Rates : kMpeg25Rates)[std::size_t(rateIndex)];
    header.samplesPerFrame = mpeg1 ? 1152 : 576;
    const int padding = (b2 >> 1) & 1;
    header.lengthBytes = (mpeg1 ? 144000 : 72000) * header.bitrateKbps / header.sampleRate + padding;
    header.crcProtected = (b1 & 1) == 0;
    header.privateBit = (b2 & 1) != 0;
    header.channelMode = b3 >> 6;
    header.copyright = (b3 & 0x08) != 0;
    header.original = (b3 & 0x04) != 0;
    const qsizetype side = offset + kHeaderBytes + (header.crcProtected ? kCrcBytes : 0);
    const int first16 = Byte(data, side) << 8 | Byte(data, side + 1);
    header.mainDataBegin = mpeg1 ? first16 >> 7 : first16 >> 8;
    return true;
}

StreamSummary Walk(const QByteArray& data)
{
    StreamSummary summary;
    qsizetype offset = 0;
    FrameHeader header;
    while (ParseFrame(data, offset, header)) {
        if (summary.frames == 0) {
            summary.first = header;
            const QByteArray frame = data.mid(offset, header.lengthBytes);
            summary.hasHeaderTag = frame.contains("Xing") || frame.contains("Info");
        }
        ++summary.frames;
        summary.bitrates.insert(header.bitrateKbps);
        summary.sampleRates.insert(header.sampleRate);
        summary.channelModes.insert(header.channelMode);
        summary.mainDataBegins.insert(header.mainDataBegin);
        offset += header.lengthBytes;
    }
    summary.contiguous = summary.frames > 0 && offset == data.size();
    return summary;
}

Decoded Decode(const QString& path, int channels)
{
    Decoded decoded;
    const TestSupport::ToolResult mpg123 =
        TestSupport::RunTool(QStringLiteral("mpg123"), {QStringLiteral("-q"), QStringLiteral("-s"), path});
    decoded.ok = mpg123.exitCode == 0 && !mpg123.out.isEmpty();
    decoded.samplesPerChannel = mpg123.out.size() / 2 / channels;
    const TestSupport::ToolResult ffmpeg = TestSupport::RunTool(
        QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                                   QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-")});
    decoded.ffmpegSamplesPerChannel = ffmpeg.out.size() / 2 / channels;
    // One ffprobe run for both fields: it is the slow part of every check.
    const QStringList fields = TestSupport::FfprobeField(path, QStringLiteral("sample_rate,channels"))
                                   .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (fields.size() == 2) {
        decoded.ffprobeRate = fields[0].trimmed();
        decoded.ffprobeChannels = fields[1].trimmed();
    }
    return decoded;
}
} // namespace Mp3Check

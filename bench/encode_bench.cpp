// WAV to MP3 through CMp3StreamEncoder, as the WAV-to-MP3 conversion drives it: the WAV read in
// chunks of the encoder's size, each handed to EncodeChunk, then Finish.
//   encode_bench IN.wav OUT.mp3 [KBPS]
// Prints the encode time in milliseconds (whole run, reading and writing included).
#include "codec/RecordFormat.h"
#include "codec/WaveFile.h"
#include "record/Mp3StreamEncoder.h"

#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace
{
constexpr int kDefaultKbps = 160;
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s IN.wav OUT.mp3 [KBPS]\n", argv[0]);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    CWaveFile input;
    if (input.Open(QString::fromLocal8Bit(argv[1]), nullptr, CWaveFile::kModeRead) != CWaveFile::S_OK ||
        input.Format() == nullptr || input.Format()->bitsPerSample != RecordFormat::kBitsPerSample) {
        std::fprintf(stderr, "cannot read %s as 16-bit PCM WAV\n", argv[1]);
        return 1;
    }
    CMp3StreamEncoder encoder;
    encoder.SetFormat(RecordFormat::Pcm16(input.Format()->channels, input.Format()->samplesPerSec));
    encoder.SetOutputPath(QString::fromLocal8Bit(argv[2]));
    encoder.SetBitrate(argc > 3 ? std::atoi(argv[3]) : kDefaultKbps);
    if (!encoder.Open(0)) {
        std::fprintf(stderr, "%s\n", qPrintable(CMp3StreamEncoder::ErrorText(encoder.LastError())));
        return 1;
    }
    std::vector<std::int16_t> chunk(std::size_t(encoder.ChunkBytes()) / sizeof(std::int16_t));
    const auto chunkBytes = static_cast<std::uint32_t>(encoder.ChunkBytes());
    for (;;) {
        std::uint32_t read = 0;
        if (input.Read(chunk.data(), chunkBytes, &read) != CWaveFile::S_OK || read == 0) {
            break;
        }
        // The last, short chunk is padded with silence, as the conversions do.
        std::fill(chunk.begin() + read / sizeof(std::int16_t), chunk.end(), std::int16_t{0});
        encoder.EncodeChunk(chunk.data());
        if (encoder.LastError() != CMp3StreamEncoder::Error::None) {
            break;
        }
    }
    if (!encoder.Finish()) {
        std::fprintf(stderr, "%s\n", qPrintable(CMp3StreamEncoder::ErrorText(encoder.LastError())));
        return 1;
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%lld\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count()));
    return 0;
}

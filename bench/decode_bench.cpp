// MP3 to WAV through Sorvane's decoding driver (DecodeMp3 over the file read in pieces, a sink
// on the shared skeleton, the WAV writer CWaveFile), without the job and its windows around it.
//   decode_bench IN.mp3 OUT.wav [RUNS]   RUNS runs (default 1); best and median times
#include "audio/DecodingSink.h"
#include "audio/TranscodeContext.h"
#include "codec/FileByteSource.h"
#include "codec/Mp3Decoding.h"
#include "codec/WaveFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace
{
constexpr std::uint16_t kBitsPerSample = 16;

// The MP3-to-WAV shape of sink: the first frame opens the writer, every frame is written.
class CWavWritingSink : public CDecodingSink
{
public:
    explicit CWavWritingSink(const QString& outputPath)
        : m_outputPath(outputPath)
    {}
    bool Close() { return m_writer.IsOpen() && m_writer.Close() == CWaveFile::S_OK; }

protected:
    bool SetUpFirstFrame(const Mp3FrameHeader&, const DecodedPcm& pcm) override
    {
        const WaveFormat format = WaveFormat::Pcm(pcm.channels, pcm.sampleRate, kBitsPerSample);
        Context().pcmBuffer.resize(FramePcmBytes(pcm));
        return m_writer.Open(m_outputPath, &format, CWaveFile::kModeWrite) == CWaveFile::S_OK;
    }

    FrameFlow Deliver(const Mp3FrameHeader&, const std::uint8_t* pcm, std::size_t bytes) override
    {
        std::uint32_t written = 0;
        m_writer.Write(static_cast<std::uint32_t>(bytes), pcm, &written);
        return FrameFlow::Continue;
    }

private:
    QString m_outputPath;
    CWaveFile m_writer;
};

bool RunDriver(const QString& input, const QString& output)
{
    CFileByteSource file;
    if (!file.Open(input)) {
        std::fprintf(stderr, "%s\n", qPrintable(file.ErrorText()));
        return false;
    }
    CWavWritingSink sink(output);
    const int result = DecodeMp3(file, sink);
    const bool closed = sink.Close();
    CTranscodeContext::DestroyInstance();
    return result == 0 && closed;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s IN.mp3 OUT.wav [RUNS]\n", argv[0]);
        return 2;
    }
    const QString input = QString::fromLocal8Bit(argv[1]);
    const QString output = QString::fromLocal8Bit(argv[2]);
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 1;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (!RunDriver(input, output)) {
            std::fprintf(stderr, "a run failed\n");
            return 1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    std::printf("driver (DecodeMp3 + CWaveFile): best %.1f ms, median %.1f ms\n", times.front(),
                times[times.size() / 2]);
    return 0;
}

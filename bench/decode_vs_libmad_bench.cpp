// MP3 to WAV through Sorvane's decoding driver (DecodeMp3Buffer with a sink on the shared
// skeleton) against a bare libmad loop over the same file, with the same 16-bit conversion and
// the same WAV writer (CWaveFile). Both read the whole file into memory first.
//   decode_vs_libmad_bench driver IN.mp3 OUT.wav     one run through the driver
//   decode_vs_libmad_bench bare IN.mp3 OUT.wav       one run of the bare loop
//   decode_vs_libmad_bench compare IN.mp3 OUT.wav N  N alternating runs of each; best times
#include "audio/DecodingSink.h"
#include "audio/TranscodeContext.h"
#include "codec/Mp3Decoding.h"
#include "codec/SampleScaling.h"
#include "codec/WaveFile.h"
#include "codec/WholeFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mad.h>
#include <vector>

namespace
{
constexpr std::size_t kMaxFrameBytes = 1152 * 2 * 2; // samples x channels x bytes
constexpr int kStereo = 2;
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
    bool SetUpFirstFrame(const mad_header&, const mad_pcm& pcm) override
    {
        const WaveFormat format = WaveFormat::Pcm(pcm.channels, pcm.samplerate, kBitsPerSample);
        Context().pcmBuffer.resize(FramePcmBytes(pcm));
        return m_writer.Open(m_outputPath, &format, CWaveFile::kModeWrite) == CWaveFile::S_OK;
    }

    mad_flow Deliver(const mad_header&, const std::uint8_t* pcm, std::size_t bytes) override
    {
        std::uint32_t written = 0;
        m_writer.Write(static_cast<std::uint32_t>(bytes), pcm, &written);
        return MAD_FLOW_CONTINUE;
    }

private:
    QString m_outputPath;
    CWaveFile m_writer;
};

bool RunDriver(const QString& input, const QString& output)
{
    CWholeFile file;
    if (!file.Load(input)) {
        std::fprintf(stderr, "%s\n", qPrintable(file.ErrorText()));
        return false;
    }
    CWavWritingSink sink(output);
    const int result = DecodeMp3Buffer(file.Data(), file.Size(), sink);
    const bool closed = sink.Close();
    CTranscodeContext::DestroyInstance();
    return result == 0 && closed;
}

// libmad's own frame loop, as a program without the driver would write it.
bool RunBare(const QString& input, const QString& output)
{
    CWholeFile file;
    if (!file.Load(input)) {
        std::fprintf(stderr, "%s\n", qPrintable(file.ErrorText()));
        return false;
    }
    mad_stream stream;
    mad_frame frame;
    mad_synth synth;
    mad_stream_init(&stream);
    mad_frame_init(&frame);
    mad_synth_init(&synth);
    mad_stream_buffer(&stream, file.Data(), file.Size());

    CWaveFile writer;
    std::vector<std::uint8_t> buffer(kMaxFrameBytes);
    while (true) {
        if (mad_frame_decode(&frame, &stream) == -1) {
            if (MAD_RECOVERABLE(stream.error)) {
                continue;
            }
            break;
        }
        mad_synth_frame(&synth, &frame);
        const mad_pcm& pcm = synth.pcm;
        if (!writer.IsOpen()) {
            const WaveFormat format = WaveFormat::Pcm(pcm.channels, pcm.samplerate, kBitsPerSample);
            if (writer.Open(output, &format, CWaveFile::kModeWrite) != CWaveFile::S_OK) {
                break;
            }
        }
        std::uint8_t* out = buffer.data();
        for (unsigned i = 0; i < pcm.length; ++i) {
            for (unsigned channel = 0; channel < pcm.channels && channel < kStereo; ++channel) {
                const auto sample = static_cast<std::uint16_t>(ScaleSample(pcm.samples[channel][i], 1.0f));
                *out++ = static_cast<std::uint8_t>(sample & 0xFF);
                *out++ = static_cast<std::uint8_t>(sample >> 8);
            }
        }
        std::uint32_t written = 0;
        writer.Write(static_cast<std::uint32_t>(out - buffer.data()), buffer.data(), &written);
    }
    mad_synth_finish(&synth);
    mad_frame_finish(&frame);
    mad_stream_finish(&stream);
    return writer.IsOpen() && writer.Close() == CWaveFile::S_OK;
}

double TimeMs(bool (*run)(const QString&, const QString&), const QString& input, const QString& output, bool* ok)
{
    const auto start = std::chrono::steady_clock::now();
    *ok = run(input, output);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s driver|bare|compare IN.mp3 OUT.wav [RUNS]\n", argv[0]);
        return 2;
    }
    const char* mode = argv[1];
    const QString input = QString::fromLocal8Bit(argv[2]);
    const QString output = QString::fromLocal8Bit(argv[3]);
    bool ok = false;
    if (std::strcmp(mode, "driver") == 0 || std::strcmp(mode, "bare") == 0) {
        const double ms = TimeMs(std::strcmp(mode, "driver") == 0 ? RunDriver : RunBare, input, output, &ok);
        std::printf("%s: %.1f ms\n", mode, ms);
        return ok ? 0 : 1;
    }
    const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;
    std::vector<double> driver;
    std::vector<double> bare;
    for (int i = 0; i < runs; ++i) {
        bool driverOk = false;
        bool bareOk = false;
        driver.push_back(TimeMs(RunDriver, input, output, &driverOk));
        bare.push_back(TimeMs(RunBare, input, output, &bareOk));
        if (!driverOk || !bareOk) {
            std::fprintf(stderr, "a run failed\n");
            return 1;
        }
    }
    std::sort(driver.begin(), driver.end());
    std::sort(bare.begin(), bare.end());
    const auto median = [](const std::vector<double>& v) { return v[v.size() / 2]; };
    std::printf("driver (DecodeMp3Buffer + CWaveFile): best %.1f ms, median %.1f ms\n", driver.front(), median(driver));
    std::printf("bare libmad loop    (+ CWaveFile):    best %.1f ms, median %.1f ms\n", bare.front(), median(bare));
    std::printf("driver / bare: %.3f (best), %.3f (median)\n", driver.front() / bare.front(),
                median(driver) / median(bare));
    return 0;
}

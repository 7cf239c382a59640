#include "cli/WavWriterSink.h"

namespace
{
constexpr std::uint16_t kSixteenBits = 16;
}

CWavWriterSink::CWavWriterSink(const QString& outputPath)
    : m_outputPath(outputPath)
{}

bool CWavWriterSink::SetUpFirstFrame(const mad_header&, const mad_pcm& pcm)
{
    const WaveFormat format = WaveFormat::Pcm(pcm.channels, pcm.samplerate, kSixteenBits);
    if (m_wave.Open(m_outputPath, &format, CWaveFile::kModeWrite) != CWaveFile::S_OK) {
        m_writeFailed = true;
        return false;
    }
    m_started = true;
    return true;
}

mad_flow CWavWriterSink::Deliver(const mad_header&, const std::uint8_t* pcm, std::size_t bytes)
{
    std::uint32_t written = 0;
    if (m_wave.Write(static_cast<std::uint32_t>(bytes), pcm, &written) != CWaveFile::S_OK || written != bytes) {
        m_writeFailed = true;
        return MAD_FLOW_STOP;
    }
    return MAD_FLOW_CONTINUE;
}

bool CWavWriterSink::Close()
{
    if (!m_started) {
        return false;
    }
    if (m_writeFailed) {
        // Leaving the writer uncompleted throws the partial file away.
        return false;
    }
    return m_wave.Close() == CWaveFile::S_OK;
}

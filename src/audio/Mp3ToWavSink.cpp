#include "audio/Mp3ToWavSink.h"

namespace
{
constexpr std::uint16_t kSixteenBits = 16;
}

CMp3ToWavSink::CMp3ToWavSink(const QString& outputPath)
    : m_outputPath(outputPath)
{}

bool CMp3ToWavSink::SetUpFirstFrame(const mad_header&, const mad_pcm& pcm)
{
    const WaveFormat format = WaveFormat::Pcm(pcm.channels, pcm.samplerate, kSixteenBits);
    if (m_wave.Open(m_outputPath, &format, CWaveFile::kModeWrite) != CWaveFile::S_OK) {
        m_writeFailed = true;
        return false;
    }
    m_started = true;
    return true;
}

mad_flow CMp3ToWavSink::Deliver(const mad_header&, const std::uint8_t* pcm, std::size_t bytes)
{
    std::uint32_t written = 0;
    if (m_wave.Write(static_cast<std::uint32_t>(bytes), pcm, &written) != CWaveFile::S_OK || written != bytes) {
        m_writeFailed = true;
        return MAD_FLOW_STOP;
    }
    return MAD_FLOW_CONTINUE;
}

bool CMp3ToWavSink::Close()
{
    if (!m_started || m_writeFailed) {
        // An uncompleted writer throws its partial file away; whatever had the name stays.
        return false;
    }
    return m_wave.Close() == CWaveFile::S_OK;
}

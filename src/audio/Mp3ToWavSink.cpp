#include "audio/Mp3ToWavSink.h"

namespace
{
constexpr std::uint16_t kSixteenBits = 16;
}

CMp3ToWavSink::CMp3ToWavSink(const QString& outputPath)
    : m_outputPath(outputPath)
{}

bool CMp3ToWavSink::SetUpFirstFrame(const Mp3FrameHeader&, const DecodedPcm& pcm)
{
    const WaveFormat format = WaveFormat::Pcm(pcm.channels, pcm.sampleRate, kSixteenBits);
    if (m_wave.Open(m_outputPath, &format, CWaveFile::kModeWrite) != CWaveFile::S_OK) {
        m_writeFailed = true;
        return false;
    }
    m_started = true;
    return true;
}

FrameFlow CMp3ToWavSink::Deliver(const Mp3FrameHeader&, const std::uint8_t* pcm, std::size_t bytes)
{
    std::uint32_t written = 0;
    if (m_wave.Write(static_cast<std::uint32_t>(bytes), pcm, &written) != CWaveFile::S_OK || written != bytes) {
        m_writeFailed = true;
        return FrameFlow::Stop;
    }
    return FrameFlow::Continue;
}

bool CMp3ToWavSink::Close()
{
    if (!m_started || m_writeFailed) {
        // An uncompleted writer throws its partial file away; whatever had the name stays.
        return false;
    }
    return m_wave.Close() == CWaveFile::S_OK;
}

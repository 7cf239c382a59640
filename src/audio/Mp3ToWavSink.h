#pragma once

#include "audio/DecodingSink.h"
#include "codec/WaveFile.h"

#include <QString>

// MP3 to WAV: the first frame creates a 16-bit PCM WAV writer in that frame's format, every
// frame is written to it unscaled. The WAV only takes its name when Close completes it.
class CMp3ToWavSink : public CDecodingSink
{
public:
    explicit CMp3ToWavSink(const QString& outputPath);

    // Completes the WAV file; false when it was never created or a write failed.
    bool Close();
    bool Started() const { return m_started; }
    bool WriteFailed() const { return m_writeFailed; }

protected:
    bool SetUpFirstFrame(const Mp3FrameHeader& header, const DecodedPcm& pcm) override;
    FrameFlow Deliver(const Mp3FrameHeader& header, const std::uint8_t* pcm, std::size_t bytes) override;

private:
    QString m_outputPath;
    CWaveFile m_wave;
    bool m_started = false;
    bool m_writeFailed = false;
};

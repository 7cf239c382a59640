#pragma once

#include "audio/DecodingSink.h"
#include "audio/WaveFile.h"

#include <QString>

// Writes every decoded frame into a new WAV file whose format is taken from the first frame.
// The file only replaces anything at its path once Close completes it.
class CWavWriterSink : public CDecodingSink
{
public:
    explicit CWavWriterSink(const QString& outputPath);

    // Completes the WAV file; false when nothing was decoded or a write failed.
    bool Close();
    bool Started() const { return m_started; }
    bool WriteFailed() const { return m_writeFailed; }

protected:
    bool SetUpFirstFrame(const mad_header& header, const mad_pcm& pcm) override;
    mad_flow Deliver(const mad_header& header, const std::uint8_t* pcm, std::size_t bytes) override;

private:
    QString m_outputPath;
    CWaveFile m_wave;
    bool m_started = false;
    bool m_writeFailed = false;
};

#pragma once

#include "tags/ClipSource.h"

#include <QString>

// A PCM WAV file read in blocks straight from disk for listening, so even a very long
// recording never has to be in memory.
class CWaveClipSource : public CClipSource
{
public:
    // False when the file is no readable WAV or its format is not one the output can play
    // (PCM, 8 or 16 bits, mono or stereo).
    bool Load(const QString& path);

    const PcmFormat& Format() const override { return m_format; }
    bool Run(std::int64_t startMs, const PcmConsumer& consumer) override;

private:
    QString m_path;
    PcmFormat m_format;
};

#pragma once

#include "audio/FileJob.h"
#include "codec/BitrateChoice.h"

#include <cstdint>

// Encodes a WAV file, or a byte range of its sample data, into an MP3 file. 8-bit input is
// widened to 16 bits; the last chunk is completed with silence.
class CWavToMp3Job : public CFileJob
{
public:
    void SetBitrate(int kbps) { m_bitrateKbps = kbps; }
    // LAME's VBR level V0-V9 instead of the bit rate; BitrateChoice::kNoVbr for the bit rate.
    void SetVbrQuality(int quality) { m_vbrQuality = quality; }
    int VbrQuality() const { return m_vbrQuality; }
    void SetOutputPath(const QString& path) { m_outputPath = path; }
    // Whether the user agreed that the output may replace an existing file of its name.
    void SetReplaceExisting(bool agreed) { m_replaceExisting = agreed; }
    // Scales every sample (1.0 keeps the level); results beyond 16 bits are clipped.
    void SetVolumeScale(double scale) { m_volumeScale = scale; }
    // Offsets count bytes of sample data; equal offsets mean the whole file.
    void SetRange(std::uint32_t startOffset, std::uint32_t endOffset);

    int Bitrate() const { return m_bitrateKbps; }
    const QString& OutputPath() const { return m_outputPath; }
    std::uint32_t StartOffset() const { return m_startOffset; }
    std::uint32_t EndOffset() const { return m_endOffset; }

    bool ProcessFile(const QString& path) override;

private:
    int m_bitrateKbps = 0;
    int m_vbrQuality = BitrateChoice::kNoVbr;
    QString m_outputPath;
    std::uint32_t m_startOffset = 0;
    std::uint32_t m_endOffset = 0;
    double m_volumeScale = 1.0;
    bool m_replaceExisting = false;
};

#pragma once

#include "audio/FileJob.h"
#include "codec/BitrateChoice.h"

// Re-encodes each MP3 of the list in place at another bit rate and volume scale, keeping its
// sample rate and channel count. The new file is written beside the source under a temporary
// name and only renamed over it once complete: a cancel or a failure leaves the source as it was.
class CReencodeJob : public CFileJob
{
public:
    static constexpr float kDefaultVolumeScale = 1.0f;

    void SetBitrate(int kbps) { m_bitrateKbps = kbps; }
    // LAME's VBR level V0-V9 instead of the bit rate; BitrateChoice::kNoVbr for the bit rate.
    void SetVbrQuality(int quality) { m_vbrQuality = quality; }
    int VbrQuality() const { return m_vbrQuality; }
    void SetVolumeScale(float scale) { m_volumeScale = scale; }
    int Bitrate() const { return m_bitrateKbps; }
    float VolumeScale() const { return m_volumeScale; }

    bool ProcessFile(const QString& path) override;

private:
    int m_bitrateKbps = 0;
    int m_vbrQuality = BitrateChoice::kNoVbr;
    float m_volumeScale = kDefaultVolumeScale;
};

#pragma once

#include <QPoint>
#include <QRect>
#include <cstddef>
#include <cstdint>
#include <vector>

// The live waveform drawn above the recordings list while recording: the newest captured PCM
// as a green polyline over black. The window paints; this works out the line.
namespace LiveWaveform
{
// Columns are drawn only while each covers fewer samples than this.
constexpr int kMaxSamplesPerColumn = 1280;

// The line over `area` for 16-bit interleaved PCM: one sample of the first channel per frame,
// mapped to unsigned (value + 32767 modulo 65536) and scaled as top + value / (65535 / height).
// Each pixel column takes (bytes / frame / width) samples and adds two points, its largest and
// then its smallest y; the line starts at the left edge, mid-height. Empty when nothing is
// drawn (a column would cover too many samples, or none).
std::vector<QPoint> Polyline(const std::uint8_t* pcm, std::size_t byteCount, int channels, const QRect& area);
} // namespace LiveWaveform

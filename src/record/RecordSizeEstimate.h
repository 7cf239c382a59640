#pragma once

#include <QString>
#include <cstdint>

// The per-minute size of an MP3 at a bit rate, as the record format dialog shows it: kbps × 1000
// bits a second, eight bits a byte, sixty seconds, in millions of bytes, so 160 kbps shows
// 1.200 MB/min.
namespace RecordSizeEstimate
{
double MegabytesPerMinute(int kbps);
// "%.3f MB/min" of MegabytesPerMinute.
QString Text(int kbps);
// The text for a stored bitrate index: a constant rate as Text; a VBR level's size depends on
// the sound, so it shows the level's typical figure at that sample rate, marked as typical.
QString TextForChoice(int bitrateIndex, std::uint32_t samplesPerSec);
} // namespace RecordSizeEstimate

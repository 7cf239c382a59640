#pragma once

#include <QString>

// The per-minute size of an MP3 at a bit rate, as the record format dialog shows it: kbps × 1000
// bits a second, eight bits a byte, sixty seconds, in millions of bytes, so 160 kbps shows
// 1.200 MB/min.
namespace RecordSizeEstimate
{
double MegabytesPerMinute(int kbps);
// "%.3f MB/min" of MegabytesPerMinute.
QString Text(int kbps);
} // namespace RecordSizeEstimate

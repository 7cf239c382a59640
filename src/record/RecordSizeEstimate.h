#pragma once

#include <QString>

// The per-minute size figure the record format dialog shows for an MP3 bit rate: kbps × 60 / 1024,
// so 128 kbps shows 7.500 MB/min. The figure counts megabits rather than megabytes (eight times
// the real size); it is kept because users compare it with what earlier versions showed.
namespace RecordSizeEstimate
{
double MegabytesPerMinute(int kbps);
// "%.3f MB/min" of MegabytesPerMinute.
QString Text(int kbps);
} // namespace RecordSizeEstimate

#pragma once

#include "codec/RecordFormat.h"

#include <cstddef>
#include <cstdint>

// The silence test used by the encode thread (leading silence) and the recording monitor
// (long silences): a buffer's mean absolute sample against a threshold that rises with the
// record level of the selected source and moves within a 40-unit band with the sensitivity.
namespace SilenceDetector
{
int MeanAbsoluteLevel(const std::int16_t* samples, std::size_t byteCount);
std::uint32_t BytesToSeconds(const RecordFormat& format, std::uint32_t byteCount);
int SilenceThreshold(int recordLevel, int sensitivity);
int SilenceThreshold(int recordLevel); // sensitivity from CRecordSettings
bool IsSilent(int level, int recordLevel);
} // namespace SilenceDetector

#pragma once

#include <atomic>

// Process-wide mixer values shared by the record-source panel, the format dialog, the silence
// detector and the listen panel. Read on the capture and encode threads without locks.
struct MixerState
{
    static constexpr int kDefaultSelectedLevel = 10;

    static inline std::atomic<int> deviceNumber{0};
    static inline std::atomic<int> selectedSourceIndex{0};
    // Level (volume) of the selected record source, 0..65535; the silence threshold follows it.
    static inline std::atomic<int> selectedLevel{kDefaultSelectedLevel};
};

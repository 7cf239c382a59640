#pragma once

#include <cstdint>

// Colours (0xRRGGBB) and metrics of the waveform view. The edit control owns one and the
// waveform store paints with it.
struct WaveStyle
{
    std::uint32_t waveColour = 0x00C832;
    std::uint32_t guideColour = 0x969696;
    std::uint32_t separatorColour = 0xFFFFFF;
    std::uint32_t rulerBackgroundColour = 0x000000;
    std::uint32_t rulerLineColour = 0xFFFFFF;
    std::uint32_t rulerTextColour = 0xFFFFFF;
    std::uint32_t backgroundColour = 0x000000;
    std::uint32_t markerColour = 0xFFFFFF;
    int tickHeight = 5;      // minor tick length in pixels
    int labelBottomGap = 10; // a time label's box ends this far above the ruler's bottom
    int minorStep = 10;      // columns between minor ticks
    int labelStep = 80;      // columns between time labels
    int rulerHeight = 30;    // rows above the wave lanes
    int topStrip = 4;        // rows of the control above the painted view (pointer marker)
};

#pragma once

// A rectangle with exclusive right and bottom edges, as the waveform view measures its areas:
// width = right - left. All -1 means "none".
struct WaveArea
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    bool IsNone() const { return left == -1 && top == -1 && right == -1 && bottom == -1; }
    static WaveArea None() { return {-1, -1, -1, -1}; }
    bool operator==(const WaveArea&) const = default;
};

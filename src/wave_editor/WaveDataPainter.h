#pragma once

#include "wave_editor/WaveArea.h"

class CWaveData;
class QPainter;

// Draws a waveform store into a painter: the time ruler, the guide lines, the separator and
// the lanes' outlines (the interface half of the store; the points come from the store).
class CWaveDataPainter
{
public:
    // Paints the view of area into painter, whose origin is the area's top-left corner
    // (everything lands in 0, 0, area.Width(), area.bottom - area.top). Rebuilds the store's
    // points first when needed.
    static void Paint(QPainter& painter, CWaveData& data, const WaveArea& area);
    // The time ruler alone, into 0, 0, width, ruler height.
    static void PaintRuler(QPainter& painter, const CWaveData& data, int width);
};

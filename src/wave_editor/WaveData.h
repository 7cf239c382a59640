#pragma once

#include "codec/WaveFormat.h"
#include "wave_editor/WaveArea.h"
#include "wave_editor/WaveStyle.h"

#include <QString>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

class CWaveFile;

// One screen point of a lane's outline: x is the column from the start of the file, y the row.
struct WavePoint
{
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool operator==(const WavePoint&) const = default;
};

// What the waveform editor knows about one WAV file: format, length of the sample data, zoom,
// scroll, selection, and per lane the outline points at the current zoom. A reduced copy of
// the samples (one entry per 512 bytes of sample data) is kept in a cache file beside the WAV,
// named with the extension "mmp", and re-read whenever the outline is rebuilt; the samples
// themselves are never held. Byte offsets count from the first byte of the "data" chunk, as
// the WAV reader and the wave player count them.
class CWaveData
{
public:
    // Frames of audio behind one cache unit at any sample format.
    static constexpr int kFramesPerCacheUnit = 128;
    static constexpr int kSmallestZoom = 512;    // zooming in stops here
    static constexpr int kCacheBlockBytes = 512; // sample bytes per cache entry
    static constexpr int kCacheEntryBytes = 4;

    // The sample layouts the view can draw; any other paints the background only.
    enum class Variant
    {
        None,
        Mono8,
        Stereo8,
        Mono16,
        Stereo16,
    };

    // Rows of the painted view for an area (relative to the area's top).
    struct LaneGeometry
    {
        int rulerHeight = 0;   // m
        int lane1Top = 0;      // m
        int lane1Bottom = 0;   // m + H (stereo) or bottom (mono)
        int separatorRow = -1; // m + Half, -1 for mono
        int lane2Top = -1;     // t2, -1 for mono
        int lane2Bottom = -1;  // b2, -1 for mono
        double scale = 1.0;    // sample units per pixel
    };

    struct ByteRange
    {
        std::int64_t start = 0;
        std::int64_t end = 0;
    };

    CWaveData();

    // The program's one store, shown by the edit control and read by the cut-and-play dialog.
    static CWaveData& Global();

    // Reads the header, resets scroll, points and selection, and uses the cache when it is
    // newer than the WAV or rebuilds it. False only when the file is not a readable WAV (the
    // store then paints the background).
    bool Load(const QString& wavPath);
    bool IsLoaded() const { return m_loaded; }
    const QString& FileName() const { return m_fileName; }
    // The WAV path with its last three characters replaced by "mmp".
    static QString CacheFileFor(const QString& wavPath);
    // The cache actually in use: beside the WAV, or in the temporary folder when that folder
    // cannot hold it; empty when none could be written.
    QString CacheFile() const { return m_cacheFile; }
    // Zoom of the whole file in view for a cache of cacheBytes bytes.
    static int InitialZoomForCacheLength(std::int64_t cacheBytes);

    const WaveFormat& Format() const { return m_format; }
    int Channels() const;
    int BitsPerSample() const;
    int SampleRate() const;
    int FrameSize() const;
    std::int64_t DataLength() const { return m_dataLength; }
    Variant CurrentVariant() const;

    int Zoom() const { return m_zoom; }
    int MaximumZoom() const { return m_maximumZoom; }
    int BuiltZoom() const { return m_builtZoom; }
    void ZoomIn();
    void ZoomOut();

    int Scroll() const { return m_scroll; }
    void SetScroll(int column);
    // Zooms with the view kept on what the user works on: the selection, else the caret when
    // it was in view, else the view's middle. area is the view the columns are shown in.
    void ZoomInKeepingFocus(const WaveArea& area);
    void ZoomOutKeepingFocus(const WaveArea& area);
    // extent = max(0, total columns + area.left - area.right) + 60.
    int ScrollExtent(const WaveArea& area) const;

    // Selection editing; x is a screen column of the view.
    void SetCursorAt(int x);
    void SetAnchorAt(int x);
    void CollapseSelection();
    void ChooseMovingEnd(bool nearLeftEdge);
    WaveArea DragTo(int x, const WaveArea& area);
    std::int64_t CursorFrame() const { return m_cursorFrame; }
    std::int64_t AnchorFrame() const { return m_anchorFrame; }
    bool HasSelection() const;
    // The selection's columns on screen within area; WaveArea::None() when there is none to show.
    WaveArea SelectionColumns(const WaveArea& area) const;
    bool CaretColumn(const WaveArea& area, int* x) const;
    bool ColumnOfFrame(std::int64_t frame, const WaveArea& area, int* x) const;
    // min and max of cursor and anchor frames times the frame size; start < 0 when there is no
    // anchor.
    ByteRange SelectionBytes() const;

    // Outline points. EnsurePoints starts them afresh from the cache when the zoom changed
    // since the last build, when there are none, or when the lane rows of the area differ from
    // those of the last build; it then extends them as far as the view reaches, so the first
    // paint at a fine zoom does not wait for the outline of the whole file.
    LaneGeometry Geometry(const WaveArea& area) const;
    void EnsurePoints(const WaveArea& area);
    const std::deque<WavePoint>& Lane1Points() const { return m_lane1; }
    const std::deque<WavePoint>& Lane2Points() const { return m_lane2; }
    int PointCount() const { return m_pointCount; }

    // The ruler's time text of an absolute column: "%d:%.2f".
    QString TimeLabel(int column) const;

    const WaveStyle& Style() const;
    void SetStyle(const WaveStyle* style) { m_style = style; }

private:
    enum class BuildResult
    {
        Built,
        CacheUnwritable,
        WavUnreadable,
    };

    void Reset();
    BuildResult BuildCache(CWaveFile& wave, const QString& cachePath) const;
    std::int64_t TotalFrames() const;
    std::int64_t FrameAtColumn(int x) const;
    // The frames to keep in view over a zoom, at the present zoom and scroll.
    std::pair<std::int64_t, std::int64_t> FocusFrames(const WaveArea& area) const;
    // Scrolls so the frames show: centred when they fit, else from the first one.
    void ScrollToShow(std::int64_t firstFrame, std::int64_t lastFrame, const WaveArea& area);
    static bool SameRows(const LaneGeometry& a, const LaneGeometry& b);
    void RestartPoints(const LaneGeometry& geometry);
    // Appends columns until there are `columns` of them or the cache ends.
    void ExtendPoints(int columns);

    // Where the outline build stopped: the next cache byte and the column group in progress.
    struct PointBuild
    {
        bool started = false;
        bool finished = false;
        qint64 cacheOffset = 0;
        int inGroup = 0;
        unsigned lowest1 = 0; // sample values of the group in progress
        unsigned highest1 = 0;
        unsigned lowest2 = 0;
        unsigned highest2 = 0;
        std::vector<int> rowOffsets; // row below a lane's top of every sample value
    };

    QString m_cacheFile;
    LaneGeometry m_builtGeometry;
    PointBuild m_build;
    QString m_fileName;
    int m_maximumZoom = 0;
    std::int64_t m_dataLength = 0;
    int m_zoom = 0;
    int m_builtZoom = 0;
    WaveFormat m_format{};
    bool m_loaded = false;
    int m_scroll = 0;
    std::deque<WavePoint> m_lane1;
    std::deque<WavePoint> m_lane2;
    int m_pointCount = 0;
    std::int64_t m_cursorFrame = 0;
    std::int64_t m_anchorFrame = -1;
    int m_movingEnd = 0; // 0 = the anchor moves, 1 = the cursor moves
    const WaveStyle* m_style = nullptr;
};

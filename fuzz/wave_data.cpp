// Feeds arbitrary bytes to the waveform store as a WAV file on disk: load (building the peak
// cache), rebuild the outline for a full-screen view, and drive zoom, scroll and selection the
// way the edit control does.
#include "wave_editor/WaveData.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace
{
constexpr int kViewWidth = 1920;
constexpr int kViewHeight = 300;
constexpr int kTopStrip = 4;

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

void CheckPoints(const CWaveData& data, const WaveArea& area)
{
    Check(data.Lane1Points().size() == static_cast<std::size_t>(data.PointCount()));
    const CWaveData::LaneGeometry geometry = data.Geometry(area);
    for (const WavePoint& point : data.Lane1Points()) {
        Check(point.y >= geometry.lane1Top && point.y <= geometry.lane1Bottom);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    static QTemporaryDir folder;
    const QString wav = folder.filePath(QStringLiteral("input.wav"));
    QFile file(wav);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return 0;
    }
    file.write(reinterpret_cast<const char*>(bytes), static_cast<qint64>(size));
    file.close();

    CWaveData data;
    const WaveArea area{0, kTopStrip, kViewWidth, kViewHeight};
    if (!data.Load(wav)) {
        Check(!data.IsLoaded());
        data.EnsurePoints(area);
        Check(data.Lane1Points().empty());
        return 0;
    }
    Check(data.IsLoaded() && data.FrameSize() > 0);
    Check(data.Zoom() >= CWaveData::kFramesPerCacheUnit && data.Zoom() == data.MaximumZoom());
    data.EnsurePoints(area);
    CheckPoints(data, area);

    data.ZoomIn();
    data.ZoomIn();
    Check(data.Zoom() >= CWaveData::kFramesPerCacheUnit);
    data.EnsurePoints(area);
    CheckPoints(data, area);
    data.ZoomOut();
    data.SetScroll(data.ScrollExtent(area) / 2);
    data.SetCursorAt(kViewWidth / 3);
    data.CollapseSelection();
    data.SetCursorAt(-kViewWidth);
    data.ChooseMovingEnd(true);
    const WaveArea selection = data.DragTo(kViewWidth * 2, area);
    Check(selection.IsNone() || selection.left <= selection.right);
    int x = 0;
    data.CaretColumn(area, &x);
    data.ColumnOfFrame(data.DataLength() / data.FrameSize(), area, &x);
    const CWaveData::ByteRange range = data.SelectionBytes();
    Check(range.start <= range.end && range.end <= data.DataLength());
    for (int column = 0; column < kViewWidth; column += data.Style().labelStep) {
        Check(!data.TimeLabel(data.Scroll() + column).isEmpty());
    }
    // A smaller view is drawn to its own rows.
    data.EnsurePoints({0, kTopStrip, kViewWidth / 2, kViewHeight / 3});
    CheckPoints(data, {0, kTopStrip, kViewWidth / 2, kViewHeight / 3});
    QFile::remove(data.CacheFile());
    return 0;
}

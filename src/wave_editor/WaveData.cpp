#include "wave_editor/WaveData.h"

#include "codec/WaveFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>
#include <vector>

namespace
{
constexpr std::uint32_t kCacheReadChunkBytes = 512000; // sample bytes read per step while building
constexpr int kWriteBufferEntries = 64000;
// Offset of the last 4-byte step of a 512-byte block: the bytes an entry is taken from.
constexpr int kEntryOffsetInBlock = CWaveData::kCacheBlockBytes - CWaveData::kCacheEntryBytes;

constexpr std::int64_t kPointChunkBytes16Bit = 128000;
constexpr std::int64_t kPointChunkBytes8Bit = 64000;
constexpr double kFullScale16Bit = 65535.0;
constexpr double kFullScale8Bit = 255.0;
// Stored 16-bit samples are signed; the outline works on them shifted up into 0..65535.
constexpr std::uint16_t kBias16Bit = 0x7FFF;
constexpr std::size_t kSampleValues16Bit = 65536;
constexpr std::size_t kSampleValues8Bit = 256;

constexpr int kScrollExtentMargin = 60;
constexpr int kSecondsPerMinute = 60;
constexpr char kCacheSuffix[] = "mmp";
constexpr int kCacheSuffixLength = 3;

// What a complete build writes for dataLength bytes of samples: every entry but the last.
std::int64_t CompleteCacheBytes(std::int64_t dataLength)
{
    const std::int64_t entries = dataLength / CWaveData::kCacheBlockBytes;
    return std::max<std::int64_t>(0, entries - 1) * CWaveData::kCacheEntryBytes;
}

std::filesystem::path FileSystemPath(const QString& path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// A cache counts only when it is strictly newer than its WAV and exactly as long as a complete
// build would make it, so one cut short by a crash or a full disk is never taken for good.
bool CacheIsValid(const QString& cachePath, const QString& wavPath, std::int64_t expectedBytes)
{
    std::error_code error;
    const auto cacheFile = FileSystemPath(cachePath);
    const auto wavFile = FileSystemPath(wavPath);
    if (!std::filesystem::is_regular_file(cacheFile, error) || !std::filesystem::is_regular_file(wavFile, error)) {
        return false;
    }
    const auto cacheSize = std::filesystem::file_size(cacheFile, error);
    if (error || static_cast<std::int64_t>(cacheSize) != expectedBytes) {
        return false;
    }
    const auto cacheTime = std::filesystem::last_write_time(cacheFile, error);
    if (error) {
        return false;
    }
    const auto wavTime = std::filesystem::last_write_time(wavFile, error);
    return !error && cacheTime > wavTime;
}

int FrameSizeOf(const WaveFormat& format)
{
    return format.channels * (format.bitsPerSample / 8);
}

std::uint16_t Le16(const std::uint8_t* bytes)
{
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

// A cache sample as the outline scales it: 16-bit values biased to 0..65535, 8-bit as stored.
template <typename Sample>
unsigned SampleValue(const std::uint8_t* at)
{
    if constexpr (sizeof(Sample) == 2) {
        return static_cast<std::uint16_t>(Le16(at) + kBias16Bit);
    } else {
        return at[0];
    }
}

// Tracks each lane's lowest and highest value over groups of groupUnits units, calling
// onGroup at the end of every group; a group may run on into the next chunk.
template <typename Sample, typename State, typename OnGroup>
void ScanGroups(const std::uint8_t* data, std::size_t units, bool stereo, int groupUnits, State& state,
                OnGroup&& onGroup)
{
    // Locals, not the state's fields: the byte pointer may alias anything, so fields would be
    // stored and reloaded for every unit.
    const std::size_t unitBytes = stereo ? 2 * sizeof(Sample) : sizeof(Sample);
    int inGroup = state.inGroup;
    unsigned lowest1 = state.lowest1;
    unsigned highest1 = state.highest1;
    unsigned lowest2 = state.lowest2;
    unsigned highest2 = state.highest2;
    for (std::size_t unit = 0; unit < units; ++unit, data += unitBytes) {
        const unsigned value1 = SampleValue<Sample>(data);
        const unsigned value2 = stereo ? SampleValue<Sample>(data + sizeof(Sample)) : 0;
        if (inGroup == 0) {
            lowest1 = highest1 = value1;
            lowest2 = highest2 = value2;
        } else {
            lowest1 = std::min(lowest1, value1);
            highest1 = std::max(highest1, value1);
            lowest2 = std::min(lowest2, value2);
            highest2 = std::max(highest2, value2);
        }
        if (++inGroup == groupUnits) {
            state.lowest1 = lowest1;
            state.highest1 = highest1;
            state.lowest2 = lowest2;
            state.highest2 = highest2;
            onGroup();
            inGroup = 0;
        }
    }
    state.inGroup = inGroup;
    state.lowest1 = lowest1;
    state.highest1 = highest1;
    state.lowest2 = lowest2;
    state.highest2 = highest2;
}
} // namespace

CWaveData::CWaveData() = default;

CWaveData& CWaveData::Global()
{
    static CWaveData store;
    return store;
}

QString CWaveData::CacheFileFor(const QString& wavPath)
{
    QString cache = wavPath;
    if (cache.size() >= kCacheSuffixLength) {
        cache.chop(kCacheSuffixLength);
    }
    cache += QLatin1String(kCacheSuffix);
    // A file that already carries the cache's name must never be overwritten by its own cache.
    if (cache == wavPath || wavPath.size() <= kCacheSuffixLength) {
        cache = wavPath + QLatin1Char('.') + QLatin1String(kCacheSuffix);
    }
    return cache;
}

int CWaveData::InitialZoomForCacheLength(std::int64_t cacheBytes)
{
    constexpr std::int64_t kCacheBytesPerStep = 2048;
    const std::int64_t n = std::max<std::int64_t>(0, cacheBytes / kCacheBytesPerStep) * kFramesPerCacheUnit;
    std::int64_t zoom = kFramesPerCacheUnit;
    if (n <= kFramesPerCacheUnit) {
        return kFramesPerCacheUnit;
    }
    while (zoom <= n && zoom <= std::numeric_limits<int>::max() / 2) {
        zoom *= 2;
    }
    return static_cast<int>(zoom);
}

void CWaveData::Reset()
{
    m_fileName.clear();
    m_cacheFile.clear();
    m_maximumZoom = 0;
    m_dataLength = 0;
    m_zoom = 0;
    m_builtZoom = 0;
    m_format = WaveFormat{};
    m_loaded = false;
    m_scroll = 0;
    m_lane1.clear();
    m_lane2.clear();
    m_pointCount = 0;
    m_builtGeometry = LaneGeometry{};
    m_build = PointBuild{};
    m_cursorFrame = 0;
    m_anchorFrame = -1;
    m_movingEnd = 0;
}

bool CWaveData::Load(const QString& wavPath)
{
    Reset();
    CWaveFile wave;
    if (wave.Open(wavPath, nullptr, CWaveFile::kModeRead) != CWaveFile::S_OK || wave.Format() == nullptr) {
        return false;
    }
    // Without a frame size there is nothing to place a caret or a selection on.
    if (FrameSizeOf(*wave.Format()) <= 0) {
        return false;
    }
    m_format = *wave.Format();
    m_dataLength = wave.GetSize();
    m_fileName = wavPath;

    const std::int64_t expectedBytes = CompleteCacheBytes(m_dataLength);
    const QString besideWav = CacheFileFor(wavPath);
    // A read-only folder cannot hold the cache; the temporary folder can, so the outline shows.
    const QString inTempFolder = QDir(QDir::tempPath()).filePath(QFileInfo(besideWav).fileName());
    for (const QString& candidate : {besideWav, inTempFolder}) {
        if (QFileInfo(candidate) == QFileInfo(wavPath)) {
            continue; // never build over the sound file itself
        }
        if (CacheIsValid(candidate, wavPath, expectedBytes)) {
            m_cacheFile = candidate;
            break;
        }
        const BuildResult result = BuildCache(wave, candidate);
        if (result == BuildResult::Built) {
            m_cacheFile = candidate;
            break;
        }
        if (result == BuildResult::WavUnreadable) {
            Reset();
            return false;
        }
    }

    m_loaded = true;
    m_zoom = m_maximumZoom = m_builtZoom = InitialZoomForCacheLength(expectedBytes);
    return true;
}

CWaveData::BuildResult CWaveData::BuildCache(CWaveFile& wave, const QString& cachePath) const
{
    if (wave.ResetFile() != CWaveFile::S_OK) {
        return BuildResult::WavUnreadable;
    }
    QFile cache(cachePath);
    if (!cache.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        return BuildResult::CacheUnwritable;
    }
    const bool mono = m_format.channels == 1;
    std::vector<std::uint8_t> chunk(kCacheReadChunkBytes);
    std::vector<std::uint8_t> entries(static_cast<std::size_t>(kWriteBufferEntries) * kCacheEntryBytes);
    int buffered = 0;
    bool written = true;
    auto writeEntries = [&](int count) {
        const qint64 bytes = static_cast<qint64>(count) * kCacheEntryBytes;
        written = written && cache.write(reinterpret_cast<const char*>(entries.data()), bytes) == bytes;
    };

    std::int64_t remaining = m_dataLength;
    while (remaining > 0 && written) {
        const auto wanted = static_cast<std::uint32_t>(std::min<std::int64_t>(remaining, kCacheReadChunkBytes));
        std::uint32_t got = 0;
        if (wave.Read(chunk.data(), wanted, &got) != CWaveFile::S_OK || got != wanted) {
            cache.close();
            QFile::remove(cachePath);
            return BuildResult::WavUnreadable;
        }
        remaining -= got;
        // Only full 512-byte blocks give an entry; chunks are whole blocks except the last.
        for (std::uint32_t offset = kEntryOffsetInBlock; offset + kCacheEntryBytes <= got; offset += kCacheBlockBytes) {
            if (buffered == kWriteBufferEntries) {
                writeEntries(buffered);
                buffered = 0;
            }
            std::uint8_t* entry = entries.data() + static_cast<std::size_t>(buffered) * kCacheEntryBytes;
            const std::uint8_t* step = chunk.data() + offset;
            entry[0] = step[0];
            entry[1] = step[1];
            entry[2] = mono ? step[0] : step[2];
            entry[3] = mono ? step[1] : step[3];
            ++buffered;
        }
    }
    if (buffered > 1) {
        writeEntries(buffered - 1);
    }
    written = written && cache.flush() && cache.size() == CompleteCacheBytes(m_dataLength);
    cache.close();
    if (!written || cache.error() != QFileDevice::NoError) {
        QFile::remove(cachePath);
        return BuildResult::CacheUnwritable;
    }
    return BuildResult::Built;
}

int CWaveData::Channels() const
{
    return m_format.channels;
}

int CWaveData::BitsPerSample() const
{
    return m_format.bitsPerSample;
}

int CWaveData::SampleRate() const
{
    return static_cast<int>(std::min<std::uint32_t>(m_format.samplesPerSec, std::numeric_limits<int>::max()));
}

int CWaveData::FrameSize() const
{
    return FrameSizeOf(m_format);
}

CWaveData::Variant CWaveData::CurrentVariant() const
{
    if (!m_loaded) {
        return Variant::None;
    }
    if (m_format.bitsPerSample == 16) {
        return m_format.channels == 1 ? Variant::Mono16 : m_format.channels == 2 ? Variant::Stereo16 : Variant::None;
    }
    if (m_format.bitsPerSample == 8) {
        return m_format.channels == 1 ? Variant::Mono8 : m_format.channels == 2 ? Variant::Stereo8 : Variant::None;
    }
    return Variant::None;
}

std::int64_t CWaveData::TotalFrames() const
{
    const int frameSize = FrameSize();
    return frameSize > 0 ? m_dataLength / frameSize : 0;
}

void CWaveData::ZoomIn()
{
    if (m_zoom > kSmallestZoom) {
        m_zoom /= 2;
    }
}

void CWaveData::ZoomOut()
{
    if (m_zoom < m_maximumZoom) {
        m_zoom *= 2;
    }
}

std::pair<std::int64_t, std::int64_t> CWaveData::FocusFrames(const WaveArea& area) const
{
    if (HasSelection()) {
        return {std::min(m_cursorFrame, m_anchorFrame), std::max(m_cursorFrame, m_anchorFrame)};
    }
    const std::int64_t firstShown = static_cast<std::int64_t>(m_scroll) * m_zoom;
    const std::int64_t pastShown = (static_cast<std::int64_t>(m_scroll) + area.Width()) * m_zoom;
    if (m_cursorFrame >= firstShown && m_cursorFrame < pastShown) {
        return {m_cursorFrame, m_cursorFrame};
    }
    const std::int64_t middle = std::min((firstShown + pastShown) / 2, TotalFrames());
    return {middle, middle};
}

void CWaveData::ScrollToShow(std::int64_t firstFrame, std::int64_t lastFrame, const WaveArea& area)
{
    if (m_zoom <= 0 || area.Width() <= 0) {
        return;
    }
    const std::int64_t first = firstFrame / m_zoom;
    const std::int64_t last = lastFrame / m_zoom;
    const std::int64_t width = area.Width();
    std::int64_t scroll = last - first < width ? (first + last) / 2 - width / 2 : first;
    // Never past the point where the file's end reaches the view's right edge.
    const std::int64_t lastScroll = std::max<std::int64_t>(0, TotalFrames() / m_zoom - width);
    scroll = std::clamp<std::int64_t>(scroll, 0, lastScroll);
    m_scroll = static_cast<int>(std::min<std::int64_t>(scroll, std::numeric_limits<int>::max()));
}

void CWaveData::ZoomInKeepingFocus(const WaveArea& area)
{
    const auto [first, last] = FocusFrames(area);
    ZoomIn();
    ScrollToShow(first, last, area);
}

void CWaveData::ZoomOutKeepingFocus(const WaveArea& area)
{
    const auto [first, last] = FocusFrames(area);
    ZoomOut();
    ScrollToShow(first, last, area);
}

void CWaveData::SetScroll(int column)
{
    m_scroll = std::max(0, column);
}

int CWaveData::ScrollExtent(const WaveArea& area) const
{
    const std::int64_t totalColumns = m_zoom > 0 ? TotalFrames() / m_zoom : 0;
    const std::int64_t extent = std::max<std::int64_t>(0, totalColumns + area.left - area.right) + kScrollExtentMargin;
    return static_cast<int>(std::min<std::int64_t>(extent, std::numeric_limits<int>::max()));
}

std::int64_t CWaveData::FrameAtColumn(int x) const
{
    const std::int64_t frame = (static_cast<std::int64_t>(x) + m_scroll) * m_zoom;
    return std::clamp<std::int64_t>(frame, 0, TotalFrames());
}

void CWaveData::SetCursorAt(int x)
{
    m_cursorFrame = FrameAtColumn(x);
}

void CWaveData::SetAnchorAt(int x)
{
    m_anchorFrame = FrameAtColumn(x);
}

void CWaveData::CollapseSelection()
{
    m_anchorFrame = m_cursorFrame;
}

void CWaveData::ChooseMovingEnd(bool nearLeftEdge)
{
    if (m_zoom <= 0) {
        return;
    }
    const std::int64_t cursorColumn = m_cursorFrame / m_zoom;
    const std::int64_t anchorColumn = m_anchorFrame / m_zoom;
    if (anchorColumn < cursorColumn) {
        m_movingEnd = nearLeftEdge ? 0 : 1;
    } else if (cursorColumn < anchorColumn) {
        m_movingEnd = nearLeftEdge ? 1 : 0;
    }
}

WaveArea CWaveData::DragTo(int x, const WaveArea& area)
{
    if (m_movingEnd == 1) {
        SetCursorAt(x);
    } else {
        SetAnchorAt(x);
    }
    return SelectionColumns(area);
}

bool CWaveData::HasSelection() const
{
    return m_anchorFrame != -1 && m_anchorFrame != m_cursorFrame;
}

WaveArea CWaveData::SelectionColumns(const WaveArea& area) const
{
    if (!HasSelection() || m_zoom <= 0) {
        return WaveArea::None();
    }
    const std::int64_t first = std::min(m_cursorFrame, m_anchorFrame) / m_zoom;
    const std::int64_t last = std::max(m_cursorFrame, m_anchorFrame) / m_zoom;
    // Left or right of the view there is nothing to show (right of it the rectangle would turn
    // inside out).
    if (first == last || last < m_scroll || first - m_scroll >= area.right) {
        return WaveArea::None();
    }
    const auto left = static_cast<int>(first - m_scroll);
    const auto right = static_cast<int>(std::min<std::int64_t>(last - m_scroll, area.right));
    return {left, area.top, right, area.bottom};
}

bool CWaveData::CaretColumn(const WaveArea& area, int* x) const
{
    return ColumnOfFrame(m_cursorFrame, area, x);
}

bool CWaveData::ColumnOfFrame(std::int64_t frame, const WaveArea& area, int* x) const
{
    if (m_zoom <= 0) {
        return false;
    }
    const std::int64_t column = frame / m_zoom;
    const std::int64_t lastUsable = static_cast<std::int64_t>(m_scroll) + area.Width() - 1;
    if (x != nullptr && column - m_scroll >= std::numeric_limits<int>::min() &&
        column - m_scroll <= std::numeric_limits<int>::max()) {
        *x = static_cast<int>(column - m_scroll);
    }
    return m_scroll < column && column < lastUsable;
}

CWaveData::ByteRange CWaveData::SelectionBytes() const
{
    const std::int64_t frameSize = FrameSize();
    ByteRange range{std::min(m_cursorFrame, m_anchorFrame) * frameSize,
                    std::max(m_cursorFrame, m_anchorFrame) * frameSize};
    if (m_anchorFrame < 0 && range.start >= 0) {
        range.start = -1;
    }
    return range;
}

CWaveData::LaneGeometry CWaveData::Geometry(const WaveArea& area) const
{
    LaneGeometry geometry;
    const int height = area.bottom - area.top;
    const int m = Style().rulerHeight;
    geometry.rulerHeight = m;
    geometry.lane1Top = m;
    const Variant variant = CurrentVariant();
    const double fullScale =
        (variant == Variant::Mono8 || variant == Variant::Stereo8) ? kFullScale8Bit : kFullScale16Bit;
    int laneHeight = 0;
    if (variant == Variant::Stereo16 || variant == Variant::Stereo8) {
        const int half = (height - m) / 2;
        laneHeight = half - 1;
        geometry.lane1Bottom = m + laneHeight;
        geometry.separatorRow = m + half;
        geometry.lane2Top = half + m + 1;
        geometry.lane2Bottom = 2 * half + m;
    } else {
        laneHeight = height - m;
        geometry.lane1Bottom = height;
    }
    // A view too small for a lane still gets a finite scale.
    geometry.scale = fullScale / std::max(1, laneHeight);
    return geometry;
}

bool CWaveData::SameRows(const LaneGeometry& a, const LaneGeometry& b)
{
    return a.rulerHeight == b.rulerHeight && a.lane1Top == b.lane1Top && a.lane1Bottom == b.lane1Bottom &&
           a.separatorRow == b.separatorRow && a.lane2Top == b.lane2Top && a.lane2Bottom == b.lane2Bottom;
}

void CWaveData::EnsurePoints(const WaveArea& area)
{
    const LaneGeometry geometry = Geometry(area);
    if (!m_build.started || m_zoom != m_builtZoom || !SameRows(geometry, m_builtGeometry)) {
        RestartPoints(geometry);
    }
    ExtendPoints(m_scroll + std::max(0, area.Width()) + 1);
}

void CWaveData::RestartPoints(const LaneGeometry& geometry)
{
    m_lane1.clear();
    m_lane2.clear();
    m_pointCount = 0;
    m_builtZoom = m_zoom;
    m_builtGeometry = geometry;
    m_build = PointBuild{};
    m_build.started = true;

    const Variant variant = CurrentVariant();
    if (variant == Variant::None || m_zoom < kFramesPerCacheUnit || m_cacheFile.isEmpty()) {
        m_build.finished = true;
        return;
    }
    // Rows of every possible sample value, worked out once: a long file has millions of units.
    const bool is16Bit = variant == Variant::Mono16 || variant == Variant::Stereo16;
    m_build.rowOffsets.resize(is16Bit ? kSampleValues16Bit : kSampleValues8Bit);
    for (std::size_t value = 0; value < m_build.rowOffsets.size(); ++value) {
        m_build.rowOffsets[value] = static_cast<int>(static_cast<double>(value) / geometry.scale);
    }
}

void CWaveData::ExtendPoints(int columns)
{
    if (m_build.finished || m_pointCount / 2 >= columns) {
        return;
    }
    QFile cache(m_cacheFile);
    // Read in large chunks already; a second buffer would only copy everything twice.
    if (!cache.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || !cache.seek(m_build.cacheOffset)) {
        m_build.finished = true;
        return;
    }
    const Variant variant = CurrentVariant();
    const bool is16Bit = variant == Variant::Mono16 || variant == Variant::Stereo16;
    const bool stereo = variant == Variant::Stereo16 || variant == Variant::Stereo8;
    const int sampleBytes = is16Bit ? 2 : 1;
    const int unitBytes = stereo ? 2 * sampleBytes : sampleBytes;
    const std::int64_t chunkBytes = is16Bit ? kPointChunkBytes16Bit : kPointChunkBytes8Bit;
    const int groupUnits = m_zoom / kFramesPerCacheUnit;
    const int lane1Top = m_builtGeometry.lane1Top;
    const int lane2Top = m_builtGeometry.lane2Top;
    const std::vector<int>& rowOffsets = m_build.rowOffsets;

    PointBuild& b = m_build;
    int column = m_pointCount / 2;
    // A group's rows come from its lowest and highest sample values only: the row grows with
    // the value, so the values are compared first and just two of them per lane become rows.
    auto endGroup = [&] {
        m_lane1.push_back({column, lane1Top + rowOffsets[b.highest1]});
        m_lane1.push_back({column, lane1Top + rowOffsets[b.lowest1]});
        if (stereo) {
            m_lane2.push_back({column, lane2Top + rowOffsets[b.highest2]});
            m_lane2.push_back({column, lane2Top + rowOffsets[b.lowest2]});
        }
        m_pointCount += 2;
        ++column;
    };
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(chunkBytes));
    while (column < columns) {
        const qint64 got = cache.read(reinterpret_cast<char*>(chunk.data()), chunkBytes);
        if (got <= 0) {
            b.finished = true;
            break;
        }
        // Chunks hold whole units, so only the cache's end can cut one; it is left out.
        const qint64 usable = got - got % unitBytes;
        b.cacheOffset += usable;
        const std::size_t units = static_cast<std::size_t>(usable / unitBytes);
        if (is16Bit) {
            ScanGroups<std::uint16_t>(chunk.data(), units, stereo, groupUnits, b, endGroup);
        } else {
            ScanGroups<std::uint8_t>(chunk.data(), units, stereo, groupUnits, b, endGroup);
        }
        if (usable < got) {
            b.finished = true;
            break;
        }
    }
}

QString CWaveData::TimeLabel(int column) const
{
    const std::uint64_t frameSize = static_cast<std::uint64_t>(std::max(0, FrameSize()));
    const std::uint64_t rate = m_format.samplesPerSec;
    if (frameSize == 0 || rate == 0 || column < 0 || m_zoom <= 0) {
        return QString::asprintf("%d:%.2f", 0, 0.0);
    }
    const std::uint64_t bytes = static_cast<std::uint64_t>(column) * static_cast<std::uint64_t>(m_zoom) * frameSize;
    const std::uint64_t minutes = bytes / rate / frameSize / kSecondsPerMinute;
    const double seconds = static_cast<double>(bytes) / static_cast<double>(rate) / static_cast<double>(frameSize) -
                           static_cast<double>(kSecondsPerMinute * minutes);
    return QString::asprintf("%d:%.2f", static_cast<int>(minutes), seconds);
}

const WaveStyle& CWaveData::Style() const
{
    static const WaveStyle kDefaultStyle;
    return m_style != nullptr ? *m_style : kDefaultStyle;
}

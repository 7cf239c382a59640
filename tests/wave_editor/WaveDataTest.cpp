#include "wave_editor/WaveData.h"

#include "codec/WaveFile.h"
#include "support/TestSupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <deque>
#include <functional>
#include <gtest/gtest.h>

namespace
{
constexpr int kBlock = 512;

bool WriteWav(const QString& path, int channels, int bits, const QByteArray& data)
{
    CWaveFile wave;
    const WaveFormat format = WaveFormat::Pcm(channels, 44100, bits);
    if (wave.Open(path, &format, CWaveFile::kModeWrite) != CWaveFile::S_OK) {
        return false;
    }
    std::uint32_t written = 0;
    return wave.Write(static_cast<std::uint32_t>(data.size()), data.constData(), &written) == CWaveFile::S_OK &&
           wave.Close() == CWaveFile::S_OK;
}

// blocks x 512 bytes of samples whose last four bytes per block come from entry(block).
QByteArray Blocks(int blocks, const std::function<std::array<std::uint8_t, 4>(int)>& entry)
{
    QByteArray data(blocks * kBlock, '\0');
    for (int b = 0; b < blocks; ++b) {
        const auto bytes = entry(b);
        for (int i = 0; i < 4; ++i) {
            data[b * kBlock + kBlock - 4 + i] = static_cast<char>(bytes[i]);
        }
    }
    return data;
}

void MakeOlder(const QString& path, const QString& than)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    const QDateTime reference = QFileInfo(than).lastModified();
    ASSERT_TRUE(file.setFileTime(reference.addSecs(-10), QFileDevice::FileModificationTime));
}

class WaveDataTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    QString Path(const QString& name) const { return dir.filePath(name); }
};
} // namespace

TEST_F(WaveDataTest, TenSecondsOfStereoGiveTheDocumentedCacheAndZoom)
{
    const auto pcm = TestSupport::SinePcm(2, 44100, 10.0, 440.0);
    const QString wav = Path("song.wav");
    ASSERT_TRUE(TestSupport::WriteSimpleWav(wav, pcm, 2, 44100));
    CWaveData data;
    ASSERT_TRUE(data.Load(wav));
    EXPECT_EQ(data.DataLength(), 1764000);
    EXPECT_EQ(data.CacheFile(), Path("song.mmp"));
    const QByteArray cache = TestSupport::ReadAll(Path("song.mmp"));
    ASSERT_EQ(cache.size(), 13776);
    const auto* samples = reinterpret_cast<const char*>(pcm.data());
    for (int entry = 0; entry < 3444; ++entry) {
        ASSERT_EQ(cache.mid(entry * 4, 4), QByteArray(samples + entry * kBlock + 508, 4)) << entry;
    }
    EXPECT_EQ(data.Zoom(), 1024);
    EXPECT_EQ(data.MaximumZoom(), 1024);
    EXPECT_EQ(data.ScrollExtent({0, 0, 0, 100}), 430 + 60); // 430 columns
    EXPECT_EQ(data.ScrollExtent({0, 0, 400, 100}), 30 + 60);
    EXPECT_EQ(data.TimeLabel(80), QStringLiteral("0:1.86"));
    EXPECT_EQ(data.TimeLabel(2700), QStringLiteral("1:2.69")); // 62.69 s, seconds not zero-padded

    data.ZoomOut();
    EXPECT_EQ(data.Zoom(), 1024);
    data.ZoomIn();
    data.ZoomIn();
    EXPECT_EQ(data.Zoom(), 512);
    data.ZoomOut();
    EXPECT_EQ(data.Zoom(), 1024);
}

TEST_F(WaveDataTest, PeerWrittenWavHasTheLengthSoxCounts)
{
    if (!TestSupport::ToolAvailable(QStringLiteral("sox"))) {
        GTEST_SKIP() << "sox missing";
    }
    const QString wav = Path("peer.wav");
    ASSERT_EQ(
        TestSupport::RunTool("sox", {"-n", "-r", "22050", "-c", "1", "-b", "8", wav, "synth", "3.3", "sine", "300"})
            .exitCode,
        0);
    const auto samples = TestSupport::RunTool("soxi", {"-s", wav}).out.trimmed().toLongLong();
    CWaveData data;
    ASSERT_TRUE(data.Load(wav));
    EXPECT_EQ(data.CurrentVariant(), CWaveData::Variant::Mono8);
    EXPECT_EQ(data.DataLength(), samples);
    EXPECT_EQ(QFileInfo(data.CacheFile()).size(), (samples / 512 - 1) * 4);
}

TEST_F(WaveDataTest, CacheIsReusedOnlyWhenNewerAndComplete)
{
    const QString wav = Path("take.wav");
    const QByteArray samples = Blocks(20, [](int b) { return std::array<std::uint8_t, 4>{1, 2, 3, std::uint8_t(b)}; });
    ASSERT_TRUE(WriteWav(wav, 2, 16, samples));
    CWaveData data;
    ASSERT_TRUE(data.Load(wav));
    const QString cachePath = data.CacheFile();
    const QByteArray built = TestSupport::ReadAll(cachePath);
    ASSERT_EQ(built.size(), 19 * 4);

    // A complete cache newer than the WAV is taken as it stands.
    const QByteArray marked(built.size(), 'x');
    ASSERT_TRUE(TestSupport::WriteAll(cachePath, marked));
    MakeOlder(wav, cachePath);
    ASSERT_TRUE(data.Load(wav));
    EXPECT_EQ(TestSupport::ReadAll(cachePath), marked);

    // Touching the WAV afterwards makes it stale.
    MakeOlder(cachePath, wav);
    ASSERT_TRUE(data.Load(wav));
    EXPECT_EQ(TestSupport::ReadAll(cachePath), built);

    // A newer cache that was cut short is rebuilt.
    ASSERT_TRUE(TestSupport::WriteAll(cachePath, built.left(built.size() - 4)));
    MakeOlder(wav, cachePath);
    ASSERT_TRUE(data.Load(wav));
    EXPECT_EQ(TestSupport::ReadAll(cachePath), built);
}

TEST_F(WaveDataTest, EveryEntryIsWrittenAcrossTheWriteBufferBoundary)
{
    constexpr int kBlocks = 64000 + 2;
    const QString wav = Path("long.wav");
    // Each block's last entry carries its block number.
    const QByteArray samples = Blocks(kBlocks, [](int b) {
        return std::array<std::uint8_t, 4>{std::uint8_t(b), std::uint8_t(b >> 8), std::uint8_t(b >> 16), 0x5A};
    });
    ASSERT_TRUE(WriteWav(wav, 2, 16, samples));
    CWaveData data;
    ASSERT_TRUE(data.Load(wav));
    const QByteArray cache = TestSupport::ReadAll(data.CacheFile());
    ASSERT_EQ(cache.size(), (kBlocks - 1) * 4);
    for (int entry : {0, 63998, 63999, 64000}) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(cache.constData() + entry * 4);
        EXPECT_EQ(bytes[0] | (bytes[1] << 8) | (bytes[2] << 16), entry);
        EXPECT_EQ(bytes[3], 0x5A);
    }

    // At a fine zoom the outline grows as the view moves right, and ends as one built whole.
    while (data.Zoom() > CWaveData::kSmallestZoom) {
        data.ZoomIn();
    }
    const WaveArea narrow{0, 0, 100, 200};
    data.EnsurePoints(narrow);
    const int columns = (kBlocks - 1) * 128 / data.Zoom();
    EXPECT_LT(data.PointCount(), 2 * columns);
    data.SetScroll(columns - 50);
    data.EnsurePoints(narrow);
    CWaveData whole;
    ASSERT_TRUE(whole.Load(wav));
    while (whole.Zoom() > CWaveData::kSmallestZoom) {
        whole.ZoomIn();
    }
    whole.EnsurePoints({0, 0, columns + 1, 200});
    EXPECT_EQ(whole.PointCount(), 2 * columns);
    EXPECT_EQ(data.Lane2Points(), whole.Lane2Points());
}

TEST_F(WaveDataTest, CacheFallsBackToTheTemporaryFolder)
{
    const QString wav = Path("locked.wav");
    ASSERT_TRUE(WriteWav(wav, 1, 16, Blocks(4, [](int) { return std::array<std::uint8_t, 4>{7, 8, 9, 10}; })));
    // Something that cannot be replaced by a file already holds the cache's name.
    ASSERT_TRUE(QDir().mkpath(Path("locked.mmp")));
    const QString temp = Path("tmp");
    ASSERT_TRUE(QDir().mkpath(temp));
    const QByteArray oldTemp = qgetenv("TMPDIR");
    qputenv("TMPDIR", temp.toUtf8());
    CWaveData data;
    const bool loaded = data.Load(wav);
    qputenv("TMPDIR", oldTemp);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(data.CacheFile(), QDir(temp).filePath("locked.mmp"));
    // Mono entries repeat the sample at block offset 508.
    EXPECT_EQ(TestSupport::ReadAll(data.CacheFile()), QByteArray("\x07\x08\x07\x08", 4).repeated(3));
}

TEST_F(WaveDataTest, FilesItCannotShowAreRefusedOrPaintNothing)
{
    const QString junk = Path("junk.wav");
    ASSERT_TRUE(TestSupport::WriteAll(junk, QByteArray("RIFF\x10\0\0\0WAVEjunk", 16)));
    CWaveData data;
    EXPECT_FALSE(data.Load(junk));
    EXPECT_FALSE(data.IsLoaded());
    EXPECT_FALSE(data.Load(Path("missing.wav")));

    const QString deep = Path("deep.wav");
    ASSERT_TRUE(WriteWav(deep, 2, 24, QByteArray(6 * 2000, '\1')));
    ASSERT_TRUE(data.Load(deep));
    EXPECT_EQ(data.CurrentVariant(), CWaveData::Variant::None);
    data.EnsurePoints({0, 0, 100, 100});
    EXPECT_TRUE(data.Lane1Points().empty());

    // A file already named like a cache keeps its bytes.
    EXPECT_NE(CWaveData::CacheFileFor(Path("odd.mmp")), Path("odd.mmp"));
    EXPECT_EQ(CWaveData::CacheFileFor(Path("song.wav")), Path("song.mmp"));
}

// Point lists of every variant, with lanes of 255 rows so that a row is a plain quotient.
struct VariantCase
{
    int channels;
    int bits;
    int height; // area height giving lanes of 255 rows
};

class WaveDataVariantTest : public WaveDataTest, public ::testing::WithParamInterface<VariantCase>
{
};

TEST_P(WaveDataVariantTest, PointsAreTheLargestThenSmallestRowOfEachGroup)
{
    const VariantCase c = GetParam();
    // 1,026 entries: a cache of at least 4,096 bytes opens at zoom 512, four units per column.
    constexpr int kBlocks = 1027;
    auto entry = [](int b) {
        return std::array<std::uint8_t, 4>{std::uint8_t(b * 7), std::uint8_t(b * 13 + 5), std::uint8_t(b * 29 + 1),
                                           std::uint8_t(255 - b)};
    };
    const QString wav = Path("variant.wav");
    ASSERT_TRUE(WriteWav(wav, c.channels, c.bits, Blocks(kBlocks, entry)));
    CWaveData data;
    ASSERT_TRUE(data.Load(wav));
    ASSERT_EQ(data.Zoom(), 512);
    const WaveArea area{0, 0, 640, c.height};
    data.EnsurePoints(area);

    // The renderer's view of the cache: units of one sample per lane, 128 frames each.
    const bool wide = c.bits == 16;
    const bool stereo = c.channels == 2;
    std::vector<std::array<int, 2>> units;
    for (int b = 0; b < kBlocks - 1; ++b) {
        auto e = entry(b);
        if (!stereo) {
            e = {e[0], e[1], e[0], e[1]};
        }
        auto value = [&](int at) { return wide ? ((e[at] | (e[(at + 1) % 4] << 8)) + 0x7FFF) % 65536 / 257 : e[at]; };
        if (wide && stereo) {
            units.push_back({value(0), value(2)});
        } else if (wide || stereo) {
            units.push_back({value(0), stereo ? value(1) : 0});
            units.push_back({value(2), stereo ? value(3) : 0});
        } else {
            for (int at = 0; at < 4; ++at) {
                units.push_back({value(at), 0});
            }
        }
    }
    const int lane2Top = stereo ? 30 + 256 + 1 : 0;
    std::deque<WavePoint> lane1;
    std::deque<WavePoint> lane2;
    for (std::size_t first = 0; first + 4 <= units.size(); first += 4) {
        const int column = static_cast<int>(first / 4);
        int lo[2] = {1 << 30, 1 << 30};
        int hi[2] = {-1, -1};
        for (std::size_t u = first; u < first + 4; ++u) {
            for (int lane = 0; lane < 2; ++lane) {
                lo[lane] = std::min(lo[lane], units[u][lane]);
                hi[lane] = std::max(hi[lane], units[u][lane]);
            }
        }
        lane1.push_back({column, 30 + hi[0]});
        lane1.push_back({column, 30 + lo[0]});
        if (stereo) {
            lane2.push_back({column, lane2Top + hi[1]});
            lane2.push_back({column, lane2Top + lo[1]});
        }
    }
    EXPECT_EQ(data.PointCount(), static_cast<int>(lane1.size()));
    EXPECT_EQ(data.Lane1Points(), lane1);
    EXPECT_EQ(data.Lane2Points(), lane2);

    // A view of another height is drawn to its own rows.
    data.EnsurePoints({0, 0, 640, c.height + 40});
    EXPECT_NE(data.Lane1Points(), lane1);
    ASSERT_FALSE(data.Lane1Points().empty());
}

INSTANTIATE_TEST_SUITE_P(Variants, WaveDataVariantTest,
                         ::testing::Values(VariantCase{2, 16, 30 + 512}, VariantCase{1, 16, 30 + 255},
                                           VariantCase{2, 8, 30 + 512}, VariantCase{1, 8, 30 + 255}),
                         [](const ::testing::TestParamInfo<VariantCase>& param) {
                             return std::string(param.param.channels == 2 ? "Stereo" : "Mono") +
                                    std::to_string(param.param.bits);
                         });

TEST_F(WaveDataTest, SelectionEditingTurnsAroundAndStaysOnScreen)
{
    const auto pcm = TestSupport::SinePcm(2, 44100, 10.0, 440.0);
    const QString wav = Path("sel.wav");
    ASSERT_TRUE(TestSupport::WriteSimpleWav(wav, pcm, 2, 44100));
    CWaveData data;
    ASSERT_TRUE(data.Load(wav));
    const WaveArea area{0, 4, 400, 200};
    EXPECT_LT(data.SelectionBytes().start, 0);

    data.SetCursorAt(100);
    data.CollapseSelection();
    EXPECT_TRUE(data.SelectionColumns(area).IsNone());
    data.SetCursorAt(40);
    EXPECT_EQ(data.SelectionColumns(area), (WaveArea{40, 4, 100, 200}));
    EXPECT_EQ(data.SelectionBytes().start, 40 * 1024 * 4);
    EXPECT_EQ(data.SelectionBytes().end, 100 * 1024 * 4);

    // Grabbing the left edge (the cursor) and dragging past the anchor turns the selection.
    data.ChooseMovingEnd(true);
    EXPECT_EQ(data.DragTo(150, area), (WaveArea{100, 4, 150, 200}));
    EXPECT_EQ(data.AnchorFrame(), 100 * 1024);
    // Now the anchor is the left edge.
    data.ChooseMovingEnd(true);
    EXPECT_EQ(data.DragTo(20, area), (WaveArea{20, 4, 150, 200}));
    EXPECT_EQ(data.CursorFrame(), 150 * 1024);

    // The caret shows strictly inside the view only.
    int x = -1;
    EXPECT_TRUE(data.CaretColumn(area, &x));
    EXPECT_EQ(x, 150);
    data.SetScroll(150);
    EXPECT_FALSE(data.CaretColumn(area, &x));
    data.SetScroll(-5);
    EXPECT_EQ(data.Scroll(), 0);
    EXPECT_TRUE(data.ColumnOfFrame(398 * 1024, area, &x));
    EXPECT_FALSE(data.ColumnOfFrame(399 * 1024, area, &x));

    // Right edge clipped to the area; a selection off either side of the view shows nothing.
    data.SetCursorAt(1000);
    EXPECT_EQ(data.CursorFrame(), 441000);
    EXPECT_EQ(data.SelectionColumns(area).right, 400);
    data.SetScroll(420);
    EXPECT_EQ(data.SelectionColumns(area), (WaveArea{-400, 4, 10, 200}));
    data.SetScroll(431);
    EXPECT_TRUE(data.SelectionColumns(area).IsNone());
    data.SetScroll(0);
    data.SetAnchorAt(300);
    data.SetCursorAt(250);
    EXPECT_TRUE(data.SelectionColumns({0, 4, 200, 200}).IsNone());
}

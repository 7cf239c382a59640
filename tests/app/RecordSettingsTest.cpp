#include "app/RecordSettings.h"

#include "AppTestHelpers.h"
#include "codec/BitrateChoice.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <array>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using AppTestHelpers::ByteBuilder;

namespace
{
class RecordSettingsTest : public AppTestHelpers::PrivateFoldersTest
{
protected:
    QString SettingsPath() const { return DataFolder() + QStringLiteral("/Record Setup.sys"); }
};

QByteArray Short(const QByteArray& text)
{
    return ByteBuilder().U8(static_cast<std::uint8_t>(text.size())).Raw(text).Bytes();
}

// The seventeen fields of a settings file, written out by hand.
struct FileFields
{
    std::uint16_t tag = 1, channels = 2;
    std::uint32_t rate = 44100, avg = 176400;
    std::uint16_t blockAlign = 4, bits = 16, extra = 0;
    QByteArray directory = Short("/rec/"); // with its length prefix
    std::int32_t sensitivity = 500, skip = 1, action = 0, detector = 1, bitrateIndex = 13;
    QByteArray lists = QByteArray(8, '\0'); // recording count, recordings, entry count, entries

    QByteArray Bytes() const
    {
        ByteBuilder b;
        b.U16(tag).U16(channels).U32(rate).U32(avg).U16(blockAlign).U16(bits).U16(extra).Raw(directory);
        b.I32(sensitivity).I32(skip).I32(action).I32(detector).I32(bitrateIndex).Raw(lists);
        return b.Bytes();
    }
};

QByteArray Loaded(const QByteArray& file, bool expectComplete = true)
{
    CRecordSettings settings;
    EXPECT_EQ(settings.LoadFromBytes(file), expectComplete);
    return settings.ToBytes();
}
} // namespace

TEST_F(RecordSettingsTest, DefaultsAndTheFileTheFirstRunWrites)
{
    CRecordSettings settings;
    EXPECT_EQ(settings.Format(), RecordFormat::Pcm16(2, 44100));
    EXPECT_EQ(settings.SampleRateIndex(), 3);
    EXPECT_EQ(settings.Bitrate(), 160);
    EXPECT_TRUE(settings.SilenceDetectorEnabled() && settings.SkipSilentPassages() && settings.PlayLoop());
    EXPECT_EQ(settings.StopAfterSeconds(), 5);
    EXPECT_EQ(settings.NewFileAfterSeconds(), 5);

    ASSERT_FALSE(QDir(DataFolder()).exists());
    EXPECT_FALSE(settings.Load()); // nothing there yet; the defaults stay
    ASSERT_TRUE(settings.Save());
    FileFields expected;
    expected.directory = Short((Home() + QLatin1Char('/')).toUtf8());
    EXPECT_EQ(TestSupport::ReadAll(SettingsPath()), expected.Bytes());
}

TEST_F(RecordSettingsTest, LoadedValuesAreMadeConsistent)
{
    FileFields mono; // stale derived format fields are recomputed
    mono.channels = 1, mono.rate = 22050, mono.avg = 0, mono.blockAlign = 0;
    FileFields monoWritten = mono;
    monoWritten.avg = 44100, monoWritten.blockAlign = 2;
    EXPECT_EQ(Loaded(mono.Bytes()), monoWritten.Bytes());

    FileFields negativeAction;
    negativeAction.action = -7;
    EXPECT_EQ(Loaded(negativeAction.Bytes()), FileFields().Bytes());

    for (const std::int32_t index : {28, -1, 1000, std::numeric_limits<std::int32_t>::min()}) {
        FileFields badIndex;
        badIndex.bitrateIndex = index;
        EXPECT_EQ(Loaded(badIndex.Bytes()), FileFields().Bytes()) << index;
    }
    FileFields damagedFormat;
    damagedFormat.tag = 3, damagedFormat.channels = 0, damagedFormat.rate = 0, damagedFormat.bits = 8;
    EXPECT_EQ(Loaded(damagedFormat.Bytes()), FileFields().Bytes());

    CRecordSettings settings;
    settings.SetBitrateIndex(99);
    EXPECT_EQ(settings.Bitrate(), 160);
    settings.SetBitrateIndex(0);
    EXPECT_EQ(settings.Bitrate(), 8);
    settings.SetLongSilenceAction(-1);
    EXPECT_EQ(settings.LongSilenceAction(), 0);
    settings.SetChannels(1);
    settings.SetSamplesPerSec(11025);
    EXPECT_EQ(settings.Format().blockAlign, 2);
    EXPECT_EQ(settings.Format().avgBytesPerSec, 22050u);
    EXPECT_EQ(settings.SampleRateIndex(), 1);
    settings.SetSamplesPerSec(12000); // not in the table
    EXPECT_EQ(settings.SampleRateIndex(), 0);
}

TEST_F(RecordSettingsTest, AnOlderFileReadsAsBeforeAndNewerChoicesKeepTheLayout)
{
    // Every rate and bit rate an older release could store: the same values, the same bytes.
    constexpr std::array<std::uint32_t, 4> kOlderRates = {8000, 11025, 22050, 44100};
    constexpr std::array<int, 14> kOlderKbps = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    for (std::size_t rateIndex = 0; rateIndex < kOlderRates.size(); ++rateIndex) {
        for (std::size_t bitrateIndex = 0; bitrateIndex < kOlderKbps.size(); ++bitrateIndex) {
            FileFields older;
            older.channels = 1, older.rate = kOlderRates[rateIndex], older.blockAlign = 2;
            older.avg = older.rate * 2;
            older.bitrateIndex = std::int32_t(bitrateIndex);
            older.lists = ByteBuilder().U32(1).Raw(Short("/rec/a.mp3")).U32(1).U32(100).U32(200).Bytes();
            CRecordSettings settings;
            ASSERT_TRUE(settings.LoadFromBytes(older.Bytes()));
            EXPECT_EQ(settings.ToBytes(), older.Bytes());
            EXPECT_EQ(settings.SampleRateIndex(), int(rateIndex));
            EXPECT_EQ(settings.Bitrate(), kOlderKbps[bitrateIndex]);
            EXPECT_EQ(settings.VbrQuality(), BitrateChoice::kNoVbr);
        }
    }

    // The new rates and bit rates, and VBR after them, are new values of the same fields.
    struct Newer
    {
        std::uint32_t rate;
        std::int32_t index;
        int kbps;
        int vbr;
    };
    for (const Newer& newer : {Newer{48000, 17, 320, -1}, Newer{32000, 14, 192, -1}, Newer{16000, 16, 256, -1},
                               Newer{48000, 20, 190, 2}, Newer{24000, 27, 35, 9}}) {
        CRecordSettings settings;
        settings.SetFormat(RecordFormat::Pcm16(2, newer.rate));
        settings.SetBitrateIndex(newer.index);
        EXPECT_EQ(settings.Bitrate(), newer.kbps) << newer.index;
        EXPECT_EQ(settings.VbrQuality(), newer.vbr) << newer.index;
        FileFields expected;
        expected.rate = newer.rate, expected.avg = newer.rate * 4, expected.bitrateIndex = newer.index;
        expected.directory = Short(settings.SaveDirectory().toUtf8());
        EXPECT_EQ(settings.ToBytes(), expected.Bytes());
        EXPECT_EQ(Loaded(expected.Bytes()), expected.Bytes());
    }
}

TEST_F(RecordSettingsTest, CountedStringsUseAllThreeLengthForms)
{
    const std::vector<std::pair<int, QByteArray>> cases = {
        {254, QByteArray("\xFE", 1)},
        {255, QByteArray("\xFF\xFF\x00", 3)},
        {300, QByteArray("\xFF\x2C\x01", 3)},
        {0xFFFD, QByteArray("\xFF\xFD\xFF", 3)},
        {0xFFFE, QByteArray("\xFF\xFF\xFF\xFE\xFF\x00\x00", 7)},
        {70000, QByteArray("\xFF\xFF\xFF\x70\x11\x01\x00", 7)},
    };
    for (const auto& [length, prefix] : cases) {
        SCOPED_TRACE(length);
        const QString directory(length, QLatin1Char('d'));
        CRecordSettings settings;
        settings.SetSaveDirectory(directory);
        FileFields expected;
        expected.directory = prefix + directory.toLatin1();
        EXPECT_EQ(settings.ToBytes(), expected.Bytes());
        CRecordSettings loaded;
        ASSERT_TRUE(loaded.LoadFromBytes(expected.Bytes()));
        EXPECT_EQ(loaded.SaveDirectory(), directory);
    }
}

TEST_F(RecordSettingsTest, EverySavedFieldRoundTripsThroughTheFile)
{
    CRecordSettings settings;
    settings.SetFormat(RecordFormat::Pcm16(1, 8000));
    settings.SetSaveDirectory(QStringLiteral("/srv/jörg/"));
    settings.SetSensitivity(37);
    settings.SetSkipSilentPassages(false);
    settings.SetLongSilenceAction(1);
    settings.SetSilenceDetectorEnabled(false);
    settings.SetBitrateIndex(4);
    settings.SetRecordings({QStringLiteral("/srv/a.mp3"), QString(300, QLatin1Char('x'))});
    settings.SetSchedule({{10, 20}, {0xFFFFFFFFu, 0x80000000u}});
    // Not part of the file: the next run starts again from 5, 5 and on.
    settings.SetStopAfterSeconds(30);
    settings.SetNewFileAfterSeconds(40);
    settings.SetPlayLoop(false);

    FileFields expected;
    expected.channels = 1, expected.rate = 8000, expected.avg = 16000, expected.blockAlign = 2;
    expected.directory = Short("/srv/j\xC3\xB6rg/");
    expected.sensitivity = 37, expected.skip = 0, expected.action = 1, expected.detector = 0;
    expected.bitrateIndex = 4;
    ByteBuilder lists;
    lists.U32(2).Raw(Short("/srv/a.mp3")).U8(0xFF).U16(300).Raw(QByteArray(300, 'x'));
    lists.U32(2).U32(10).U32(20).U32(0xFFFFFFFFu).U32(0x80000000u);
    expected.lists = lists.Bytes();
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(TestSupport::ReadAll(SettingsPath()), expected.Bytes());

    CRecordSettings loaded;
    ASSERT_TRUE(loaded.Load());
    EXPECT_EQ(loaded.ToBytes(), expected.Bytes());
    EXPECT_EQ(loaded.SaveDirectory(), settings.SaveDirectory());
    EXPECT_EQ(loaded.Recordings(), settings.Recordings());
    EXPECT_EQ(loaded.Schedule(), settings.Schedule());
    EXPECT_EQ(loaded.Bitrate(), 40);
    EXPECT_EQ(loaded.StopAfterSeconds(), 5);
    EXPECT_EQ(loaded.NewFileAfterSeconds(), 5);
    EXPECT_TRUE(loaded.PlayLoop());
}

TEST_F(RecordSettingsTest, FileCutAnywhereKeepsWhatWasReadBeforeTheCut)
{
    const QStringList recordings = {QStringLiteral("/home/anna/2024-03-01-09-15.mp3"), QString(300, QLatin1Char('x'))};
    const std::vector<ScheduleEntry> schedule = {{1700000000, 1700003600}, {1700086400, 1700090000}};
    FileFields fields;
    fields.channels = 1, fields.rate = 22050, fields.avg = 44100, fields.blockAlign = 2;
    fields.directory = Short("/home/anna/Aufnahmen/");
    fields.sensitivity = 123, fields.bitrateIndex = 5;
    ByteBuilder lists;
    lists.U32(2).Raw(Short(recordings[0].toUtf8())).U8(0xFF).U16(300).Raw(recordings[1].toUtf8());
    lists.U32(2).U32(schedule[0].start).U32(schedule[0].end).U32(schedule[1].start).U32(schedule[1].end);
    fields.lists = lists.Bytes();
    const QByteArray file = fields.Bytes();

    // Where each checked field ends in the file.
    const qsizetype channelsEnd = 4, rateEnd = 8, directoryEnd = 18 + fields.directory.size();
    const qsizetype sensitivityEnd = directoryEnd + 4, bitrateEnd = directoryEnd + 20;
    const std::vector<qsizetype> recordingEnds = {bitrateEnd + 4 + 1 + recordings[0].size(),
                                                  bitrateEnd + 4 + 1 + recordings[0].size() + 303};
    const std::vector<qsizetype> entryEnds = {file.size() - 8, file.size()};
    const auto completeBefore = [](const std::vector<qsizetype>& ends, qsizetype cut) {
        return std::count_if(ends.begin(), ends.end(), [cut](qsizetype end) { return end <= cut; });
    };

    const CRecordSettings defaults;
    for (qsizetype cut = 0; cut <= file.size(); ++cut) {
        SCOPED_TRACE(cut);
        CRecordSettings settings;
        EXPECT_EQ(settings.LoadFromBytes(file.left(cut)), cut == file.size());
        EXPECT_EQ(settings.Format().channels, cut >= channelsEnd ? 1 : 2);
        EXPECT_EQ(settings.Format().samplesPerSec, cut >= rateEnd ? 22050u : 44100u);
        EXPECT_EQ(settings.Format().avgBytesPerSec, settings.Format().samplesPerSec * settings.Format().blockAlign);
        EXPECT_EQ(settings.SaveDirectory(),
                  cut >= directoryEnd ? QStringLiteral("/home/anna/Aufnahmen/") : defaults.SaveDirectory());
        EXPECT_EQ(settings.Sensitivity(), cut >= sensitivityEnd ? 123 : 500);
        EXPECT_EQ(settings.BitrateIndex(), cut >= bitrateEnd ? 5 : 13);
        EXPECT_EQ(settings.Recordings(), recordings.mid(0, completeBefore(recordingEnds, cut)));
        EXPECT_EQ(settings.Schedule().size(), static_cast<std::size_t>(completeBefore(entryEnds, cut)));
    }
}

TEST_F(RecordSettingsTest, ClaimsBeyondTheEndOfTheFileLoadOnlyWhatIsThere)
{
    FileFields manyRecordings;
    manyRecordings.lists = ByteBuilder().U32(0xFFFFFFFFu).Raw(Short("/a.mp3")).Raw(Short("/b.mp3")).Bytes();
    CRecordSettings settings;
    EXPECT_FALSE(settings.LoadFromBytes(manyRecordings.Bytes()));
    EXPECT_EQ(settings.Recordings(), QStringList({QStringLiteral("/a.mp3"), QStringLiteral("/b.mp3")}));

    FileFields manyEntries;
    manyEntries.lists = ByteBuilder().U32(0).U32(0xFFFFFFFFu).U32(1).U32(2).U32(3).Bytes();
    EXPECT_FALSE(settings.LoadFromBytes(manyEntries.Bytes()));
    EXPECT_EQ(settings.Schedule(), std::vector<ScheduleEntry>({{1, 2}}));

    const QByteArray damagedStrings[] = {
        QByteArray("\xFF\xFF\xFF\xFF\xFF\xFF\xFF"
                   "abcdef",
                   13), // 4-byte length 0xFFFFFFFF
        QByteArray("\xFF\x2C\x01"
                   "abcde",
                   8), // 2-byte length 300
        QByteArray("\x20"
                   "abc",
                   4),                     // 1-byte length 32
        QByteArray("\xFF\xFF\xFF\x01", 4), // 4-byte length cut short
    };
    for (const QByteArray& damaged : damagedStrings) {
        FileFields fields;
        fields.rate = 8000, fields.directory = damaged;
        CRecordSettings cut;
        const QString before = cut.SaveDirectory();
        EXPECT_FALSE(cut.LoadFromBytes(fields.Bytes().left(18 + damaged.size())));
        EXPECT_EQ(cut.SaveDirectory(), before);
        EXPECT_EQ(cut.Format().samplesPerSec, 8000u);
    }
}

TEST_F(RecordSettingsTest, FailedSaveLeavesTheOldFileIntact)
{
    CRecordSettings old;
    ASSERT_TRUE(old.Save());
    const QByteArray oldBytes = TestSupport::ReadAll(SettingsPath());
    CRecordSettings changed;
    changed.SetSaveDirectory(QString(5000, QLatin1Char('n')));
    {
        AppTestHelpers::ScopedFileSizeLimit limit(64); // the write itself fails
        ASSERT_TRUE(limit.Active());
        EXPECT_FALSE(changed.Save());
    }
    EXPECT_EQ(TestSupport::ReadAll(SettingsPath()), oldBytes);
    EXPECT_EQ(QDir(DataFolder()).entryList(QDir::Files | QDir::Hidden),
              QStringList({QStringLiteral("Record Setup.sys")}));

    if (::geteuid() != 0) { // permissions do not stop root
        ASSERT_EQ(::chmod(QFile::encodeName(DataFolder()).constData(), 0555), 0);
        EXPECT_FALSE(changed.Save());
        ::chmod(QFile::encodeName(DataFolder()).constData(), 0755);
        EXPECT_EQ(TestSupport::ReadAll(SettingsPath()), oldBytes);
    }
    // A Data folder that cannot be created because a file stands in its way.
    ASSERT_TRUE(TestSupport::WriteAll(m_root.path() + QStringLiteral("/blocker"), "x"));
    EXPECT_FALSE(changed.Save(m_root.path() + QStringLiteral("/blocker/Data/Record Setup.sys")));
    ASSERT_TRUE(QDir().mkpath(SettingsPath() + QStringLiteral(".d/Record Setup.sys")));
    EXPECT_FALSE(changed.Load(SettingsPath() + QStringLiteral(".d/Record Setup.sys"))); // a folder, not a file
}

TEST_F(RecordSettingsTest, InstanceLoadsFromTheDataFolderAndSaveInstanceWritesBack)
{
    FileFields fields;
    fields.channels = 1, fields.rate = 22050, fields.avg = 44100, fields.blockAlign = 2;
    fields.sensitivity = 42;
    ASSERT_TRUE(QDir().mkpath(DataFolder()));
    ASSERT_TRUE(TestSupport::WriteAll(SettingsPath(), fields.Bytes()));

    CRecordSettings& settings = CRecordSettings::Instance();
    EXPECT_EQ(&settings, &CRecordSettings::Instance());
    EXPECT_EQ(settings.ToBytes(), fields.Bytes());
    settings.SetSensitivity(77);
    ASSERT_TRUE(CRecordSettings::SaveInstance());
    fields.sensitivity = 77;
    EXPECT_EQ(TestSupport::ReadAll(SettingsPath()), fields.Bytes());
}

#include "record/RecordSourcePanel.h"

#include "controls/ControlId.h"
#include "controls/SkinSlider.h"
#include "platform/audio/ScopedAudioBackend.h"
#include "platform/audio/memory/MemoryAudioBackend.h"
#include "record/MixerState.h"

#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace
{
using Source = CMemoryAudioBackend::Source;

constexpr int kMicLevel = 30000;
constexpr int kLineLevel = 20000;
constexpr int kMonitorLevel = 10000;

int LevelOf(const CMemoryAudioBackend& backend, const QString& name)
{
    for (const Source& source : backend.Sources()) {
        if (source.name == name) {
            // Both channels always move together.
            EXPECT_EQ(source.channelLevels.front(), source.channelLevels.back()) << name.toStdString();
            return source.channelLevels.front();
        }
    }
    ADD_FAILURE() << "no source " << name.toStdString();
    return -1;
}

// Three sources, "line" (the second) selected.
class RecordSourcePanelTest : public ::testing::Test
{
protected:
    RecordSourcePanelTest()
        : backend(std::make_shared<CMemoryAudioBackend>())
        , scoped(backend)
    {
        backend->SetSources({Source{QStringLiteral("mic"), QStringLiteral("Microphone"), {kMicLevel, kMicLevel}},
                             Source{QStringLiteral("line"), QStringLiteral("Line In"), {kLineLevel, kLineLevel}},
                             Source{QStringLiteral("out.monitor"), QString(), {kMonitorLevel, kMonitorLevel}}});
        backend->SetDefaultSource(QStringLiteral("line"));
        MixerState::selectedSourceIndex = 0;
        MixerState::selectedLevel = MixerState::kDefaultSelectedLevel;
        panel.resize(320, 250);
        panel.show();
    }

    CSkinSlider* SliderById(int id) const { return ControlId::Find<CSkinSlider>(&panel, id); }
    QRadioButton* RadioById(int id) const { return ControlId::Find<QRadioButton>(&panel, id); }

    std::shared_ptr<CMemoryAudioBackend> backend;
    CScopedAudioBackend scoped;
    CRecordSourcePanel panel;
};
} // namespace

TEST_F(RecordSourcePanelTest, BindShowsOneRowPerSourceWithTheMixersSelectionChecked)
{
    ASSERT_TRUE(panel.Bind());
    EXPECT_EQ(panel.SourceCount(), 3);
    for (int row = 0; row < CRecordSourcePanel::kRowCount; ++row) {
        QRadioButton* radio = RadioById(CRecordSourcePanel::kFirstRadioId + row);
        CSkinSlider* slider = SliderById(CRecordSourcePanel::kSliderIds[std::size_t(row)]);
        ASSERT_NE(radio, nullptr);
        ASSERT_NE(slider, nullptr);
        EXPECT_EQ(radio->isHidden(), row >= 3) << row;
        EXPECT_EQ(slider->isHidden(), row >= 3) << row;
    }
    EXPECT_EQ(RadioById(3055)->text(), QStringLiteral("Microphone"));
    EXPECT_EQ(RadioById(3057)->text(), QStringLiteral("out.monitor")); // no description: its name
    EXPECT_EQ(SliderById(1010)->value(), kMicLevel);
    EXPECT_EQ(SliderById(1018)->maximum(), RecordMixer::kLevelMaximum);

    EXPECT_FALSE(RadioById(3055)->isChecked());
    EXPECT_TRUE(RadioById(3056)->isChecked());
    EXPECT_EQ(MixerState::selectedSourceIndex, 1);
    EXPECT_EQ(MixerState::selectedLevel, kLineLevel);

    // An unreachable mixer leaves every control as it was.
    backend->SetServerReachable(false);
    EXPECT_FALSE(panel.Bind());
    EXPECT_FALSE(panel.Refresh());
    EXPECT_EQ(panel.SourceCount(), 3);
    EXPECT_FALSE(RadioById(3057)->isHidden());
}

TEST_F(RecordSourcePanelTest, OnlyTheSelectedSourcesSliderActsOnTheMixer)
{
    ASSERT_TRUE(panel.Bind());
    QSignalSpy levelChanged(&panel, &CRecordSourcePanel::selectedLevelChanged);

    SliderById(1010)->setValue(5000); // the microphone is not selected
    EXPECT_EQ(LevelOf(*backend, QStringLiteral("mic")), kMicLevel);
    EXPECT_EQ(MixerState::selectedLevel, kLineLevel);
    EXPECT_EQ(levelChanged.count(), 0);

    SliderById(1018)->setValue(12345);
    EXPECT_EQ(LevelOf(*backend, QStringLiteral("line")), 12345);
    EXPECT_EQ(MixerState::selectedLevel, 12345);
    ASSERT_EQ(levelChanged.count(), 1);
    EXPECT_EQ(levelChanged.front().front().toInt(), 12345);

    // The next refresh puts the unselected slider back to its source's level.
    ASSERT_TRUE(panel.Refresh());
    EXPECT_EQ(SliderById(1010)->value(), kMicLevel);
    EXPECT_EQ(SliderById(1018)->value(), 12345);
}

TEST_F(RecordSourcePanelTest, PickingARadioButtonSelectsThatSourceWithItsSlidersLevel)
{
    ASSERT_TRUE(panel.Bind());
    QSignalSpy selected(&panel, &CRecordSourcePanel::sourceSelected);
    SliderById(1023)->setValue(7000); // moved while not selected: no effect yet
    EXPECT_EQ(LevelOf(*backend, QStringLiteral("out.monitor")), kMonitorLevel);

    QRadioButton* monitor = RadioById(3057);
    QTest::mouseClick(monitor, Qt::LeftButton, {}, QPoint(6, monitor->height() / 2));
    EXPECT_TRUE(monitor->isChecked());
    EXPECT_FALSE(RadioById(3056)->isChecked());
    EXPECT_EQ(backend->DefaultSource(), QStringLiteral("out.monitor"));
    EXPECT_EQ(LevelOf(*backend, QStringLiteral("out.monitor")), 7000);
    EXPECT_EQ(MixerState::selectedSourceIndex, 2);
    EXPECT_EQ(MixerState::selectedLevel, 7000);
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.front().front().toInt(), 2);

    // From now on the monitor's slider is the one that acts.
    SliderById(1023)->setValue(8000);
    EXPECT_EQ(LevelOf(*backend, QStringLiteral("out.monitor")), 8000);
    SliderById(1018)->setValue(100);
    EXPECT_EQ(LevelOf(*backend, QStringLiteral("line")), kLineLevel);

    panel.SelectSource(0);
    EXPECT_TRUE(RadioById(3055)->isChecked());
    EXPECT_FALSE(monitor->isChecked());
    EXPECT_EQ(backend->DefaultSource(), QStringLiteral("mic"));
    panel.SelectSource(5); // no such row
    EXPECT_EQ(backend->DefaultSource(), QStringLiteral("mic"));
    EXPECT_EQ(MixerState::selectedSourceIndex, 0);
}

TEST_F(RecordSourcePanelTest, RebindFollowsAChangedSourceListAndKeepsTheCheckedRow)
{
    ASSERT_TRUE(panel.Bind());
    panel.SelectSource(0);

    std::vector<Source> many;
    for (int i = 0; i < 10; ++i)
        many.push_back(Source{QStringLiteral("s%1").arg(i), QStringLiteral("Source %1").arg(i), {1000 * i, 1000 * i}});
    many.front().channelLevels = {4000, 4000};
    backend->SetSources(many);
    backend->SetDefaultSource(QStringLiteral("s3")); // chosen elsewhere: not noticed

    ASSERT_TRUE(panel.Rebind());
    EXPECT_EQ(panel.SourceCount(), CRecordSourcePanel::kRowCount);
    EXPECT_FALSE(RadioById(3062)->isHidden());
    EXPECT_EQ(RadioById(3062)->text(), QStringLiteral("Source 7"));
    EXPECT_TRUE(RadioById(3055)->isChecked());
    EXPECT_EQ(MixerState::selectedSourceIndex, 0);
    EXPECT_EQ(MixerState::selectedLevel, 4000);
}

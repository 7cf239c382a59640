// The option dialogs: record format, voice activation and the daily schedule, alone and as the
// main window opens them.
#include "../app/MainWindowTestSupport.h"
#include "app/CommandIds.h"
#include "controls/ControlId.h"
#include "controls/FolderBrowserSeam.h"
#include "record/MixerState.h"
#include "record/RecordFormatDialog.h"
#include "record/RecordSizeEstimate.h"
#include "record/SchedulePicker.h"
#include "record/TimeRecordSetupDialog.h"
#include "record/VoiceActivationDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTimer>

namespace
{
using Source = CMemoryAudioBackend::Source;

void Click(QWidget* widget)
{
    ASSERT_NE(widget, nullptr);
    // Near the left edge: a check box only takes clicks on its box and text, not on the empty
    // width its layout gives it.
    constexpr int kInsideIndicator = 8;
    QTest::mouseClick(widget, Qt::LeftButton, {},
                      QPoint(std::min(kInsideIndicator, widget->width() / 2), widget->height() / 2));
}

QTime TimeOfDay(std::uint32_t seconds)
{
    return QDateTime::fromSecsSinceEpoch(qint64(seconds)).time();
}

// Settings at their defaults, a Data folder of the test's own and every message remembered.
class RecordDialogsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_data.isValid());
        qputenv("SORVANE_DATA_DIR", m_data.path().toLocal8Bit());
        CRecordSettings& settings = CRecordSettings::Instance();
        settings.SetFormat(RecordFormat::Pcm16(2, 44100));
        settings.SetBitrateIndex(CRecordSettings::kDefaultBitrateIndex);
        settings.SetSilenceDetectorEnabled(true);
        settings.SetSensitivity(CRecordSettings::kDefaultSensitivity);
        settings.SetSkipSilentPassages(true);
        settings.SetLongSilenceAction(0);
        settings.SetStopAfterSeconds(CRecordSettings::kDefaultSilenceSeconds);
        settings.SetNewFileAfterSeconds(CRecordSettings::kDefaultSilenceSeconds);
        settings.SetSchedule({});
        settings.SetSaveDirectory(QStringLiteral("/music/"));
        m_backend->SetSources({Source{QStringLiteral("mic"), QStringLiteral("Microphone"), {100, 100}},
                               Source{QStringLiteral("line"), QStringLiteral("Line In"), {200, 200}}});
        MixerState::deviceNumber = 0;
    }

    std::vector<QString> m_shown;
    QTemporaryDir m_data;
    std::shared_ptr<CMemoryAudioBackend> m_backend = std::make_shared<CMemoryAudioBackend>();
    CScopedAudioBackend m_audio{m_backend};
    DialogSeams::CScopedHandlers m_messages{[this](QWidget*, const DialogSeams::MessageRequest& request) {
        m_shown.push_back(request.text);
        return QMessageBox::Ok;
    }};
};

template <typename Widget>
Widget* Control(const QWidget& dialog, int id)
{
    auto* widget = ControlId::Find<Widget>(&dialog, id);
    EXPECT_NE(widget, nullptr) << id;
    return widget;
}
} // namespace

TEST(RecordSizeEstimate, ShowsTheBytesAMinuteOfMp3Takes)
{
    // 160 kbps = 20,000 bytes a second = 1,200,000 bytes a minute.
    EXPECT_EQ(RecordSizeEstimate::Text(160), QStringLiteral("1.200 MB/min"));
    EXPECT_EQ(RecordSizeEstimate::Text(128), QStringLiteral("0.960 MB/min"));
    EXPECT_EQ(RecordSizeEstimate::Text(8), QStringLiteral("0.060 MB/min"));
    // Stored choices: 320 kbps is index 17; V2 (typically 190 kbps at 44.1 kHz and above,
    // less at lower rates) is index 20.
    EXPECT_EQ(RecordSizeEstimate::TextForChoice(17, 48000), QStringLiteral("2.400 MB/min"));
    EXPECT_EQ(RecordSizeEstimate::TextForChoice(14, 32000), QStringLiteral("1.440 MB/min"));
    EXPECT_EQ(RecordSizeEstimate::TextForChoice(20, 48000), QStringLiteral("~1.425 MB/min (typical)"));
    EXPECT_EQ(RecordSizeEstimate::TextForChoice(20, 22050), QStringLiteral("~0.713 MB/min (typical)"));
    EXPECT_EQ(RecordSizeEstimate::TextForChoice(28, 44100), QString());
}

TEST_F(RecordDialogsTest, FormatDialogShowsTheSettingsAndFollowsTheBitrate)
{
    CRecordFormatDialog dialog;
    using D = CRecordFormatDialog;
    EXPECT_TRUE(Control<QRadioButton>(dialog, D::kStereoId)->isChecked());
    EXPECT_EQ(Control<QComboBox>(dialog, D::kSampleRateListId)->currentText(), QStringLiteral("44100 Hz"));
    auto* bitrates = Control<QComboBox>(dialog, D::kBitrateListId);
    EXPECT_EQ(bitrates->currentText(), QStringLiteral("160 kbps"));
    auto* estimate = Control<QLineEdit>(dialog, D::kEstimateId);
    EXPECT_EQ(estimate->text(), QStringLiteral("1.200 MB/min"));
    EXPECT_EQ(Control<QComboBox>(dialog, D::kDeviceListId)->count(), 2);
    EXPECT_EQ(Control<QComboBox>(dialog, D::kDeviceListId)->currentText(), QStringLiteral("Microphone"));

    bitrates->setCurrentText(QStringLiteral("32 kbps"));
    EXPECT_EQ(estimate->text(), QStringLiteral("0.240 MB/min"));
    bitrates->setCurrentText(QStringLiteral("128 kbps"));
    EXPECT_EQ(estimate->text(), QStringLiteral("0.960 MB/min"));
}

TEST_F(RecordDialogsTest, FormatDialogOffersOnlyTheBitRatesTheSampleRateCarries)
{
    using D = CRecordFormatDialog;
    CRecordFormatDialog dialog;
    auto* rates = Control<QComboBox>(dialog, D::kSampleRateListId);
    auto* bitrates = Control<QComboBox>(dialog, D::kBitrateListId);
    const auto offered = [bitrates] {
        QStringList texts;
        for (int i = 0; i < bitrates->count(); ++i) {
            QString text = bitrates->itemText(i);
            texts << text.remove(QStringLiteral(" kbps"));
        }
        return texts.join(QLatin1Char(' '));
    };
    QStringList rateTexts;
    for (int i = 0; i < rates->count(); ++i) {
        rateTexts << rates->itemText(i);
    }
    EXPECT_EQ(rateTexts.join(QLatin1Char(' ')),
              QStringLiteral("8000 Hz 11025 Hz 16000 Hz 22050 Hz 24000 Hz 32000 Hz 44100 Hz 48000 Hz"));

    // 320 kbps only where MPEG-1 frames carry it; the VBR levels at every rate.
    const QString kVbrLevels = QStringLiteral(" VBR V0 VBR V1 VBR V2 VBR V3 VBR V4 VBR V5 VBR V6 VBR V7 VBR V8 VBR V9");
    const QString mpeg1 = QStringLiteral("32 40 48 56 64 80 96 112 128 160 192 224 256 320") + kVbrLevels;
    const QString mpeg2 = QStringLiteral("8 16 24 32 40 48 56 64 80 96 112 128 144 160") + kVbrLevels;
    const QString mpeg25 = QStringLiteral("8 16 24 32 40 48 56 64") + kVbrLevels;
    EXPECT_EQ(offered(), mpeg1);
    for (const char* rate : {"48000 Hz", "32000 Hz"}) {
        rates->setCurrentText(QLatin1String(rate));
        EXPECT_EQ(offered(), mpeg1) << rate;
    }
    bitrates->setCurrentText(QStringLiteral("320 kbps"));
    EXPECT_EQ(Control<QLineEdit>(dialog, D::kEstimateId)->text(), QStringLiteral("2.400 MB/min"));
    for (const char* rate : {"24000 Hz", "16000 Hz"}) {
        rates->setCurrentText(QLatin1String(rate));
        EXPECT_EQ(offered(), mpeg2) << rate;
        EXPECT_EQ(bitrates->currentText(), QStringLiteral("160 kbps")) << rate;
    }
    rates->setCurrentText(QStringLiteral("22050 Hz"));
    EXPECT_EQ(offered(), mpeg2);
    EXPECT_EQ(bitrates->currentText(), QStringLiteral("160 kbps"));
    rates->setCurrentText(QStringLiteral("11025 Hz"));
    EXPECT_EQ(offered(), mpeg25);
    EXPECT_EQ(bitrates->currentText(), QStringLiteral("64 kbps"));
    EXPECT_EQ(Control<QLineEdit>(dialog, D::kEstimateId)->text(), QStringLiteral("0.480 MB/min"));
    rates->setCurrentText(QStringLiteral("8000 Hz"));
    EXPECT_EQ(offered(), mpeg25);

    // 144 kbps has no MPEG-1 frame: the encoder takes the lower neighbour, and so does the list.
    rates->setCurrentText(QStringLiteral("22050 Hz"));
    bitrates->setCurrentText(QStringLiteral("144 kbps"));
    rates->setCurrentText(QStringLiteral("44100 Hz"));
    EXPECT_EQ(bitrates->currentText(), QStringLiteral("128 kbps"));

    // A VBR level stays chosen across rates, shows a typical figure, and is stored after the
    // constant rates.
    bitrates->setCurrentText(QStringLiteral("VBR V2"));
    EXPECT_EQ(Control<QLineEdit>(dialog, D::kEstimateId)->text(), QStringLiteral("~1.425 MB/min (typical)"));
    rates->setCurrentText(QStringLiteral("48000 Hz"));
    EXPECT_EQ(bitrates->currentText(), QStringLiteral("VBR V2"));
    Click(Control<QPushButton>(dialog, D::kOkButtonId));
    const CRecordSettings& settings = CRecordSettings::Instance();
    EXPECT_EQ(settings.Format().samplesPerSec, 48000u);
    EXPECT_EQ(settings.BitrateIndex(), 20);
    EXPECT_EQ(settings.VbrQuality(), 2);
    CRecordFormatDialog reopened;
    EXPECT_EQ(Control<QComboBox>(reopened, D::kSampleRateListId)->currentText(), QStringLiteral("48000 Hz"));
    EXPECT_EQ(Control<QComboBox>(reopened, D::kBitrateListId)->currentText(), QStringLiteral("VBR V2"));
}

TEST_F(RecordDialogsTest, FormatDialogShowsAStoredRateItCannotOfferAsTheNearestUntilOk)
{
    using D = CRecordFormatDialog;
    CRecordSettings& settings = CRecordSettings::Instance();
    settings.SetSamplesPerSec(11025);
    {
        CRecordFormatDialog dialog;
        EXPECT_EQ(Control<QComboBox>(dialog, D::kBitrateListId)->currentText(), QStringLiteral("64 kbps"));
        Click(Control<QPushButton>(dialog, D::kCancelButtonId));
    }
    EXPECT_EQ(settings.Bitrate(), 160);
    CRecordFormatDialog dialog;
    Click(Control<QPushButton>(dialog, D::kOkButtonId));
    EXPECT_EQ(settings.Bitrate(), 64);
    EXPECT_EQ(settings.Format().samplesPerSec, 11025u);
}

TEST_F(RecordDialogsTest, FormatDialogWritesOnlyOnOk)
{
    CRecordSettings& settings = CRecordSettings::Instance();
    // A rate that is not in the table shows (and then stores) the first one.
    settings.SetSamplesPerSec(12000);
    using D = CRecordFormatDialog;
    {
        CRecordFormatDialog dialog;
        Click(Control<QRadioButton>(dialog, D::kMonoId));
        Control<QComboBox>(dialog, D::kBitrateListId)->setCurrentIndex(0);
        Control<QComboBox>(dialog, D::kDeviceListId)->setCurrentIndex(1);
        Control<QLineEdit>(dialog, D::kSaveDirectoryId)->setText(QStringLiteral("/elsewhere/"));
        Click(Control<QPushButton>(dialog, D::kCancelButtonId));
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_EQ(settings.Format().channels, 2);
    EXPECT_EQ(settings.BitrateIndex(), CRecordSettings::kDefaultBitrateIndex);
    EXPECT_EQ(settings.SaveDirectory(), QStringLiteral("/music/"));
    EXPECT_EQ(MixerState::deviceNumber.load(), 0);

    CRecordFormatDialog dialog;
    EXPECT_EQ(Control<QComboBox>(dialog, D::kSampleRateListId)->currentText(), QStringLiteral("8000 Hz"));
    Click(Control<QRadioButton>(dialog, D::kMonoId));
    Control<QComboBox>(dialog, D::kSampleRateListId)->setCurrentText(QStringLiteral("22050 Hz"));
    Control<QComboBox>(dialog, D::kBitrateListId)->setCurrentText(QStringLiteral("128 kbps"));
    Control<QComboBox>(dialog, D::kDeviceListId)->setCurrentIndex(1);
    {
        // A cancelled browse keeps the folder; a chosen one replaces it.
        FolderBrowserSeam::CScopedHandler cancel(
            [](QWidget*, const FolderBrowserSeam::FolderRequest& request, QString&) {
                EXPECT_EQ(request.title, QStringLiteral("Record File Path"));
                return false;
            });
        Click(Control<QPushButton>(dialog, D::kBrowseButtonId));
    }
    EXPECT_EQ(Control<QLineEdit>(dialog, D::kSaveDirectoryId)->text(), QStringLiteral("/music/"));
    const QString longFolder = QLatin1Char('/') + QString(250, QLatin1Char('x')) + QLatin1Char('/');
    FolderBrowserSeam::CScopedHandler choose(
        [&longFolder](QWidget*, const FolderBrowserSeam::FolderRequest&, QString& chosen) {
            chosen = longFolder;
            return true;
        });
    Click(Control<QPushButton>(dialog, D::kBrowseButtonId));
    Click(Control<QPushButton>(dialog, D::kOkButtonId));

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(settings.Format(), RecordFormat::Pcm16(1, 22050));
    EXPECT_EQ(settings.Bitrate(), 128);
    EXPECT_EQ(settings.SaveDirectory(), longFolder);
    EXPECT_EQ(MixerState::deviceNumber.load(), 1);
}

TEST_F(RecordDialogsTest, VoiceDialogRefusesSecondsOutsideTheRangeAndWritesOnOk)
{
    using D = CVoiceActivationDialog;
    CRecordSettings& settings = CRecordSettings::Instance();
    {
        CVoiceActivationDialog dialog;
        Click(Control<QCheckBox>(dialog, D::kDetectorEnabledId));
        Control<QLineEdit>(dialog, D::kStopSecondsId)->setText(QStringLiteral("9"));
        Click(Control<QPushButton>(dialog, D::kCancelButtonId));
    }
    EXPECT_TRUE(settings.SilenceDetectorEnabled());
    EXPECT_EQ(settings.StopAfterSeconds(), CRecordSettings::kDefaultSilenceSeconds);

    CVoiceActivationDialog dialog;
    dialog.show();
    EXPECT_EQ(Control<QSlider>(dialog, D::kSensitivitySliderId)->value(), CRecordSettings::kDefaultSensitivity);
    EXPECT_EQ(Control<QSlider>(dialog, D::kSensitivitySliderId)->maximum(), 1000);
    EXPECT_TRUE(Control<QRadioButton>(dialog, D::kStopActionId)->isChecked());
    auto* stopSeconds = Control<QLineEdit>(dialog, D::kStopSecondsId);
    auto* newFileSeconds = Control<QLineEdit>(dialog, D::kNewFileSecondsId);
    EXPECT_EQ(stopSeconds->text(), QStringLiteral("5"));

    const QString outOfRange = QStringLiteral("Please enter an integer between 1 and 1000.");
    stopSeconds->setText(QStringLiteral("0"));
    Click(Control<QPushButton>(dialog, D::kOkButtonId));
    newFileSeconds->setText(QStringLiteral("1001"));
    stopSeconds->setText(QStringLiteral("1000"));
    Click(Control<QPushButton>(dialog, D::kOkButtonId));
    newFileSeconds->setText(QStringLiteral("ten"));
    Click(Control<QPushButton>(dialog, D::kOkButtonId));
    EXPECT_EQ(m_shown, (std::vector<QString>{outOfRange, outOfRange, QStringLiteral("Please enter an integer.")}));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(settings.StopAfterSeconds(), CRecordSettings::kDefaultSilenceSeconds);

    newFileSeconds->setText(QStringLiteral("1"));
    Click(Control<QCheckBox>(dialog, D::kSkipSilenceId));
    Click(Control<QRadioButton>(dialog, D::kNewFileActionId));
    Control<QSlider>(dialog, D::kSensitivitySliderId)->setValue(1);
    Click(Control<QPushButton>(dialog, D::kOkButtonId));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(settings.SilenceDetectorEnabled());
    EXPECT_FALSE(settings.SkipSilentPassages());
    EXPECT_EQ(settings.LongSilenceAction(), 1);
    EXPECT_EQ(settings.Sensitivity(), 1);
    EXPECT_EQ(settings.StopAfterSeconds(), 1000);
    EXPECT_EQ(settings.NewFileAfterSeconds(), 1);
}

TEST_F(RecordDialogsTest, ScheduleAddAndDeleteKeepTypedTimes)
{
    using D = CTimeRecordSetupDialog;
    CTimeRecordSetupDialog dialog;
    dialog.show();
    EXPECT_EQ(dialog.SelectedRow(), D::kNoRow);
    EXPECT_FALSE(dialog.StartPicker(0)->isVisible());

    Click(Control<QPushButton>(dialog, D::kAddButtonId));
    ASSERT_EQ(dialog.Entries().size(), 1u);
    EXPECT_EQ(dialog.Entries()[0].end - dialog.Entries()[0].start, D::kNewEntrySeconds);
    EXPECT_TRUE(dialog.StartPicker(0)->isVisible());

    // A time typed into row 0 survives the next Add.
    CSchedulePicker* firstStart = Control<CSchedulePicker>(dialog, D::kFirstStartPickerId);
    firstStart->setFocus();
    firstStart->setSelectedSection(QDateTimeEdit::HourSection);
    QTest::keyClicks(firstStart, QStringLiteral("07"));
    firstStart->setSelectedSection(QDateTimeEdit::MinuteSection);
    QTest::keyClicks(firstStart, QStringLiteral("08"));
    Click(Control<QPushButton>(dialog, D::kAddButtonId));
    ASSERT_EQ(dialog.Entries().size(), 2u);
    EXPECT_EQ(TimeOfDay(dialog.Entries()[0].start).hour(), 7);
    EXPECT_EQ(TimeOfDay(dialog.Entries()[0].start).minute(), 8);
    EXPECT_EQ(firstStart->time().hour(), 7);
    EXPECT_EQ(dialog.SelectedRow(), 1);
    EXPECT_FALSE(firstStart->IsSelected());

    // Clicking a picker selects its row; Delete of another row keeps the edit of this one.
    Click(dialog.EndPicker(0));
    EXPECT_EQ(dialog.SelectedRow(), 0);
    EXPECT_TRUE(firstStart->IsSelected());
    EXPECT_FALSE(dialog.StartPicker(1)->IsSelected());
    dialog.EndPicker(1)->setTime(QTime(23, 30, 0));
    Click(Control<QPushButton>(dialog, D::kDeleteButtonId));
    ASSERT_EQ(dialog.Entries().size(), 1u);
    EXPECT_EQ(TimeOfDay(dialog.Entries()[0].end), QTime(23, 30, 0));
    EXPECT_EQ(dialog.EndPicker(0)->time(), QTime(23, 30, 0));
    EXPECT_FALSE(dialog.StartPicker(1)->isVisible());

    // Deleting the only row leaves none selected; Delete then does nothing.
    EXPECT_EQ(dialog.SelectedRow(), 0);
    Click(Control<QPushButton>(dialog, D::kDeleteButtonId));
    EXPECT_EQ(dialog.SelectedRow(), D::kNoRow);
    EXPECT_TRUE(dialog.Entries().empty());
    Click(Control<QPushButton>(dialog, D::kDeleteButtonId));
    EXPECT_FALSE(dialog.StartPicker(0)->isVisible());

    for (int add = 0; add < D::kMaxEntries + 1; ++add) {
        dialog.Add();
    }
    EXPECT_EQ(int(dialog.Entries().size()), D::kMaxEntries);
    EXPECT_EQ(dialog.SelectedRow(), D::kMaxEntries - 1);
    // Deleting the last row selects the one above it.
    dialog.Delete();
    EXPECT_EQ(dialog.SelectedRow(), D::kMaxEntries - 2);
    EXPECT_TRUE(CRecordSettings::Instance().Schedule().empty());
}

TEST_F(RecordDialogsTest, ScheduleOkReplacesTheScheduleAndCancelKeepsIt)
{
    using D = CTimeRecordSetupDialog;
    CRecordSettings& settings = CRecordSettings::Instance();
    const ScheduleEntry stored{1'000'000'000, 1'000'000'600};
    settings.SetSchedule({stored});
    {
        CTimeRecordSetupDialog dialog;
        EXPECT_EQ(dialog.SelectedRow(), 0);
        dialog.Add();
        dialog.StartPicker(0)->setTime(QTime(1, 2, 3));
        Click(Control<QPushButton>(dialog, D::kCancelButtonId));
    }
    EXPECT_EQ(settings.Schedule(), std::vector<ScheduleEntry>{stored});

    CTimeRecordSetupDialog dialog;
    dialog.StartPicker(0)->setTime(QTime(1, 2, 3));
    Click(Control<QPushButton>(dialog, D::kOkButtonId));
    ASSERT_EQ(settings.Schedule().size(), 1u);
    EXPECT_EQ(TimeOfDay(settings.Schedule()[0].start), QTime(1, 2, 3));
    // The date part of the stored value stays.
    EXPECT_EQ(QDateTime::fromSecsSinceEpoch(settings.Schedule()[0].start).date(),
              QDateTime::fromSecsSinceEpoch(stored.start).date());
    EXPECT_EQ(settings.Schedule()[0].end, stored.end);
}

TEST_F(MainWindowTest, OptionCommandsOpenTheirDialogs)
{
    CMainWindow& window = OpenWindow();
    const std::vector<std::pair<int, QString>> commands{
        {CommandId::kSilenceDetector, QStringLiteral("Voice Activation Process")},
        {CommandId::kOptionButton, QStringLiteral("Record and Convert Targer File Format Setup")},
        {CommandId::kFormatSetup, QStringLiteral("Record and Convert Targer File Format Setup")},
        {CommandId::kTimeRecordSetup, QStringLiteral("Time Record Setup")}};
    for (const auto& [command, title] : commands) {
        QString opened;
        QTimer::singleShot(0, [&opened] {
            QWidget* modal = QApplication::activeModalWidget();
            // Whatever opened is closed, so a missing dialog fails the test instead of hanging it.
            if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                opened = dialog->windowTitle();
                // OK, so the format dialog's follow-up (the source panel filled again) runs too.
                dialog->accept();
            }
        });
        EXPECT_TRUE(window.OnCommand(command));
        EXPECT_EQ(opened, title) << command;
    }
    EXPECT_TRUE(m_shown.isEmpty());
}

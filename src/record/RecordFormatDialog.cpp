#include "record/RecordFormatDialog.h"

#include "app/RecordSettings.h"
#include "codec/BitrateChoice.h"
#include "codec/RecordFormat.h"
#include "controls/ControlId.h"
#include "controls/DialogSkinning.h"
#include "controls/FolderBrowserSeam.h"
#include "platform/audio/AudioBackend.h"
#include "record/MixerState.h"
#include "record/Mp3BitrateChoices.h"
#include "record/RecordSizeEstimate.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <numeric>
#include <vector>

namespace
{
constexpr int kMonoChannels = 1;
constexpr int kStereoChannels = 2;
constexpr int kMinimumFolderWidth = 260;

QStringList CaptureDeviceNames()
{
    const std::unique_ptr<RecordMixer> mixer = AudioBackend::Current()->CreateRecordMixer();
    return mixer ? mixer->CaptureDeviceNames() : QStringList();
}
} // namespace

CRecordFormatDialog::CRecordFormatDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Record and Convert Targer File Format Setup"));
    ControlId::Set(this, kDialogId);
    CreateControls();
    SkinDialogControls(this);
    LoadFromSettings();
}

bool CRecordFormatDialog::Run(QWidget* parent)
{
    CRecordFormatDialog dialog(parent);
    return dialog.exec() == QDialog::Accepted;
}

void CRecordFormatDialog::CreateControls()
{
    m_deviceList = new QComboBox(this);
    ControlId::Set(m_deviceList, kDeviceListId);

    auto* channelGroup = new QGroupBox(QStringLiteral("Channle"), this);
    m_mono = new QRadioButton(QStringLiteral("Mono"), channelGroup);
    m_stereo = new QRadioButton(QStringLiteral("Stereo"), channelGroup);
    ControlId::Set(m_mono, kMonoId);
    ControlId::Set(m_stereo, kStereoId);
    auto* channelLayout = new QHBoxLayout(channelGroup);
    channelLayout->addWidget(m_mono);
    channelLayout->addWidget(m_stereo);

    // Shown from low to high; each entry carries its position in SampleRateTable, whose order is
    // that of the stored settings.
    m_sampleRateList = new QComboBox(this);
    ControlId::Set(m_sampleRateList, kSampleRateListId);
    std::vector<int> ratePositions(SampleRateTable.size());
    std::iota(ratePositions.begin(), ratePositions.end(), 0);
    std::sort(ratePositions.begin(), ratePositions.end(),
              [](int a, int b) { return SampleRateTable[std::size_t(a)] < SampleRateTable[std::size_t(b)]; });
    for (const int position : ratePositions) {
        m_sampleRateList->addItem(QString::asprintf("%d Hz", int(SampleRateTable[std::size_t(position)])), position);
    }

    // Filled for the chosen sample rate; each entry carries its stored bitrate index (a position
    // in BitrateTable, or a VBR level after them).
    m_bitrateList = new QComboBox(this);
    ControlId::Set(m_bitrateList, kBitrateListId);

    m_estimate = new QLineEdit(this);
    m_estimate->setReadOnly(true);
    ControlId::Set(m_estimate, kEstimateId);

    m_saveDirectory = new QLineEdit(this);
    m_saveDirectory->setMinimumWidth(kMinimumFolderWidth);
    ControlId::Set(m_saveDirectory, kSaveDirectoryId);
    auto* browseButton = new QPushButton(QStringLiteral("..."), this);
    ControlId::Set(browseButton, kBrowseButtonId);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ControlId::Set(buttons->button(QDialogButtonBox::Ok), kOkButtonId);
    ControlId::Set(buttons->button(QDialogButtonBox::Cancel), kCancelButtonId);

    auto* grid = new QGridLayout;
    int row = 0;
    grid->addWidget(new QLabel(QStringLiteral("Record device"), this), row, 0);
    grid->addWidget(m_deviceList, row++, 1, 1, 2);
    grid->addWidget(channelGroup, row++, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Sample Rate"), this), row, 0);
    grid->addWidget(m_sampleRateList, row++, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Data  Rate"), this), row, 0);
    grid->addWidget(m_bitrateList, row, 1);
    grid->addWidget(m_estimate, row++, 2);
    grid->addWidget(new QLabel(QStringLiteral("Save Directory"), this), row, 0);
    grid->addWidget(m_saveDirectory, row, 1);
    grid->addWidget(browseButton, row++, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);

    connect(m_bitrateList, &QComboBox::currentIndexChanged, this, &CRecordFormatDialog::UpdateEstimate);
    connect(m_sampleRateList, &QComboBox::currentIndexChanged, this,
            [this] { FillBitrates(SelectedBitratePosition()); });
    connect(m_mono, &QRadioButton::toggled, this, &CRecordFormatDialog::UpdateEstimate);
    connect(browseButton, &QPushButton::clicked, this, &CRecordFormatDialog::BrowseForFolder);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CRecordFormatDialog::LoadFromSettings()
{
    const CRecordSettings& settings = CRecordSettings::Instance();
    const bool mono = settings.Format().channels == kMonoChannels;
    m_mono->setChecked(mono);
    m_stereo->setChecked(!mono);
    m_sampleRateList->setCurrentIndex(m_sampleRateList->findData(settings.SampleRateIndex()));
    // A stored rate this sample rate cannot carry shows as the one the encoder would use; the
    // settings keep theirs until OK.
    FillBitrates(settings.BitrateIndex());
    m_saveDirectory->setText(settings.SaveDirectory());

    m_deviceList->clear();
    m_deviceList->addItems(CaptureDeviceNames());
    const int device = MixerState::deviceNumber.load();
    m_deviceList->setCurrentIndex(device < m_deviceList->count() ? device : -1);
    UpdateEstimate();
}

int CRecordFormatDialog::SelectedSampleRatePosition() const
{
    const QVariant position = m_sampleRateList->currentData();
    return position.isValid() ? position.toInt() : -1;
}

std::uint32_t CRecordFormatDialog::SelectedSampleRate() const
{
    const int position = SelectedSampleRatePosition();
    return position >= 0 && position < int(SampleRateTable.size()) ? SampleRateTable[std::size_t(position)]
                                                                   : SampleRateTable.front();
}

int CRecordFormatDialog::SelectedBitratePosition() const
{
    const QVariant position = m_bitrateList->currentData();
    return position.isValid() ? position.toInt() : -1;
}

void CRecordFormatDialog::FillBitrates(int wantedPosition)
{
    const std::uint32_t sampleRate = SelectedSampleRate();
    const QSignalBlocker quiet(m_bitrateList);
    m_bitrateList->clear();
    for (const int position : Mp3BitrateChoices::OfferedPositions(sampleRate)) {
        m_bitrateList->addItem(QString::asprintf("%d kbps", BitrateTable[std::size_t(position)]), position);
    }
    for (int quality = 0; quality < BitrateChoice::kVbrLevelCount; ++quality) {
        m_bitrateList->addItem(QString::asprintf("VBR V%d", quality), BitrateChoice::IndexOfVbrQuality(quality));
    }
    if (wantedPosition >= 0) {
        const int shown = Mp3BitrateChoices::NearestOfferedPosition(wantedPosition, sampleRate);
        m_bitrateList->setCurrentIndex(m_bitrateList->findData(shown));
    }
    UpdateEstimate();
}

void CRecordFormatDialog::UpdateEstimate()
{
    m_estimate->setText(RecordSizeEstimate::TextForChoice(SelectedBitratePosition(), SelectedSampleRate()));
}

void CRecordFormatDialog::BrowseForFolder()
{
    // The browser's full-size buffer: a folder cut short at some fixed length would name another
    // folder, so a long path is taken whole.
    QString folder;
    if (FolderBrowserSeam::BrowseForFolder(this, QStringLiteral("Record File Path"), QStringLiteral("Blar blar..."),
                                           folder)) {
        m_saveDirectory->setText(folder);
    }
}

void CRecordFormatDialog::accept()
{
    CRecordSettings& settings = CRecordSettings::Instance();
    settings.SetChannels(m_mono->isChecked() ? kMonoChannels : kStereoChannels);
    const int bitratePosition = SelectedBitratePosition();
    if (bitratePosition >= 0) {
        settings.SetBitrateIndex(bitratePosition);
    }
    const int ratePosition = SelectedSampleRatePosition();
    if (ratePosition >= 0) {
        settings.SetSamplesPerSec(SampleRateTable[std::size_t(ratePosition)]);
    }
    settings.SetSaveDirectory(m_saveDirectory->text());
    // Device numbers count from 0 like the list, so the chosen position is the device number.
    if (m_deviceList->currentIndex() >= 0) {
        MixerState::deviceNumber = m_deviceList->currentIndex();
    }
    QDialog::accept();
}

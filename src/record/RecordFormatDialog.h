#pragma once

#include <QDialog>
#include <cstdint>

class QComboBox;
class QLineEdit;
class QRadioButton;

// Dialog 130, "Record and Convert Targer File Format Setup": the record device, mono or stereo,
// the sample rate, the MP3 bit rate with its per-minute size estimate, and the folder for new
// recordings. Only the bit rates the chosen sample rate can carry are offered, followed by LAME's
// VBR levels. The values come from CRecordSettings and reach it (and the chosen device
// MixerState) only when the dialog is closed with OK.
class CRecordFormatDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kDialogId = 130;
    static constexpr int kDeviceListId = 1060;
    static constexpr int kMonoId = 1046;
    static constexpr int kStereoId = 1047;
    static constexpr int kSampleRateListId = 1050;
    static constexpr int kBitrateListId = 1053;
    static constexpr int kEstimateId = 1051;
    static constexpr int kSaveDirectoryId = 1014;
    static constexpr int kBrowseButtonId = 1015;
    static constexpr int kOkButtonId = 1;
    static constexpr int kCancelButtonId = 2;

    explicit CRecordFormatDialog(QWidget* parent = nullptr);

    // Runs the dialog modally; true when it was closed with OK (the settings are then written).
    static bool Run(QWidget* parent);

    void accept() override;

private:
    void CreateControls();
    void LoadFromSettings();
    // Position in SampleRateTable of the chosen rate; -1 when none is chosen.
    int SelectedSampleRatePosition() const;
    std::uint32_t SelectedSampleRate() const;
    // The stored bitrate index of the chosen entry (BitrateTable position or VBR level); -1 when
    // none is chosen.
    int SelectedBitratePosition() const;
    // The bit rates of the chosen sample rate, with the one nearest `wantedPosition` chosen.
    void FillBitrates(int wantedPosition);
    void UpdateEstimate();
    void BrowseForFolder();

    QComboBox* m_deviceList = nullptr;
    QRadioButton* m_mono = nullptr;
    QRadioButton* m_stereo = nullptr;
    QComboBox* m_sampleRateList = nullptr;
    QComboBox* m_bitrateList = nullptr;
    QLineEdit* m_estimate = nullptr;
    QLineEdit* m_saveDirectory = nullptr;
};

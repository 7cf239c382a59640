#pragma once

#include <QDialog>
#include <optional>

class CSkinSlider;
class QCheckBox;
class QLineEdit;
class QRadioButton;

// Dialog 134, "Voice Activation Process": the silence detector's switches, its sensitivity and
// what a long silence does. The values are copied from CRecordSettings when the dialog is made
// and written back only by OK, once both seconds boxes hold an integer from 1 to 1000.
class CVoiceActivationDialog : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kDialogId = 134;
    static constexpr int kDetectorEnabledId = 1052;
    static constexpr int kSensitivitySliderId = 1027;
    static constexpr int kSkipSilenceId = 1051;
    static constexpr int kStopActionId = 1048;
    static constexpr int kStopSecondsId = 1012;
    static constexpr int kNewFileActionId = 1049;
    static constexpr int kNewFileSecondsId = 1013;
    static constexpr int kOkButtonId = 1;
    static constexpr int kCancelButtonId = 2;
    static constexpr int kMinimumSensitivity = 1;
    static constexpr int kMaximumSensitivity = 1000;
    static constexpr int kMinimumSeconds = 1;
    static constexpr int kMaximumSeconds = 1000;

    explicit CVoiceActivationDialog(QWidget* parent = nullptr);

    // Runs the dialog modally; true when it was closed with OK (the settings are then written).
    static bool Run(QWidget* parent);

    // Keeps the dialog open with a message while a seconds box holds no valid value.
    void accept() override;

private:
    void CreateControls();
    void LoadFromSettings();
    // The box's value, or nothing after telling the user what is wrong with it.
    std::optional<int> ReadSeconds(QLineEdit* box);

    QCheckBox* m_detectorEnabled = nullptr;
    CSkinSlider* m_sensitivity = nullptr;
    QCheckBox* m_skipSilence = nullptr;
    QRadioButton* m_stopAction = nullptr;
    QLineEdit* m_stopSeconds = nullptr;
    QRadioButton* m_newFileAction = nullptr;
    QLineEdit* m_newFileSeconds = nullptr;
};

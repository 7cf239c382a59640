#include "record/VoiceActivationDialog.h"

#include "app/DialogSeams.h"
#include "app/RecordSettings.h"
#include "controls/ControlId.h"
#include "controls/DialogSkinning.h"
#include "controls/SkinSlider.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace
{
constexpr int kStopActionValue = 0;
constexpr int kNewFileActionValue = 1;
constexpr int kSecondsBoxWidth = 60;

QLineEdit* SecondsBox(int id, QWidget* parent)
{
    auto* box = new QLineEdit(parent);
    box->setFixedWidth(kSecondsBoxWidth);
    box->setAlignment(Qt::AlignRight);
    ControlId::Set(box, id);
    return box;
}
} // namespace

CVoiceActivationDialog::CVoiceActivationDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Voice Activation Process"));
    ControlId::Set(this, kDialogId);
    CreateControls();
    SkinDialogControls(this);
    LoadFromSettings();
}

bool CVoiceActivationDialog::Run(QWidget* parent)
{
    CVoiceActivationDialog dialog(parent);
    return dialog.exec() == QDialog::Accepted;
}

void CVoiceActivationDialog::CreateControls()
{
    m_detectorEnabled = new QCheckBox(QStringLiteral("Use Voice Slient Detecter "), this);
    ControlId::Set(m_detectorEnabled, kDetectorEnabledId);

    auto* sensitivityGroup = new QGroupBox(QStringLiteral("Sensitivity of Silent Detector"), this);
    m_sensitivity = new CSkinSlider(Qt::Horizontal, sensitivityGroup);
    m_sensitivity->setRange(kMinimumSensitivity, kMaximumSensitivity);
    ControlId::Set(m_sensitivity, kSensitivitySliderId);
    auto* sensitivityLayout = new QHBoxLayout(sensitivityGroup);
    sensitivityLayout->addWidget(new QLabel(QStringLiteral("Low"), sensitivityGroup));
    sensitivityLayout->addWidget(m_sensitivity, 1);
    sensitivityLayout->addWidget(new QLabel(QStringLiteral("High"), sensitivityGroup));

    m_skipSilence = new QCheckBox(QStringLiteral("Skip Silent  Passages "), this);
    ControlId::Set(m_skipSilence, kSkipSilenceId);

    auto* actionGroup = new QGroupBox(QStringLiteral("Long Silence Action"), this);
    m_stopAction = new QRadioButton(QStringLiteral("Stop Recording After "), actionGroup);
    ControlId::Set(m_stopAction, kStopActionId);
    m_stopSeconds = SecondsBox(kStopSecondsId, actionGroup);
    m_newFileAction = new QRadioButton(QStringLiteral("Record to a new file"), actionGroup);
    ControlId::Set(m_newFileAction, kNewFileActionId);
    m_newFileSeconds = SecondsBox(kNewFileSecondsId, actionGroup);
    auto* actionLayout = new QGridLayout(actionGroup);
    actionLayout->addWidget(m_stopAction, 0, 0);
    actionLayout->addWidget(m_stopSeconds, 0, 1);
    actionLayout->addWidget(new QLabel(QStringLiteral("Second Silence"), actionGroup), 0, 2);
    actionLayout->addWidget(m_newFileAction, 1, 0);
    actionLayout->addWidget(m_newFileSeconds, 1, 1);
    actionLayout->addWidget(new QLabel(QStringLiteral("Second Silence"), actionGroup), 1, 2);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ControlId::Set(buttons->button(QDialogButtonBox::Ok), kOkButtonId);
    ControlId::Set(buttons->button(QDialogButtonBox::Cancel), kCancelButtonId);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_detectorEnabled);
    layout->addWidget(sensitivityGroup);
    layout->addWidget(m_skipSilence);
    layout->addWidget(actionGroup);
    layout->addWidget(buttons);
}

void CVoiceActivationDialog::LoadFromSettings()
{
    const CRecordSettings& settings = CRecordSettings::Instance();
    m_detectorEnabled->setChecked(settings.SilenceDetectorEnabled());
    m_sensitivity->setValue(settings.Sensitivity());
    m_skipSilence->setChecked(settings.SkipSilentPassages());
    const bool newFile = settings.LongSilenceAction() == kNewFileActionValue;
    m_stopAction->setChecked(!newFile);
    m_newFileAction->setChecked(newFile);
    m_stopSeconds->setText(QString::number(settings.StopAfterSeconds()));
    m_newFileSeconds->setText(QString::number(settings.NewFileAfterSeconds()));
}

std::optional<int> CVoiceActivationDialog::ReadSeconds(QLineEdit* box)
{
    bool isInteger = false;
    const int value = box->text().trimmed().toInt(&isInteger);
    QString problem;
    if (!isInteger) {
        problem = QStringLiteral("Please enter an integer.");
    } else if (value < kMinimumSeconds || value > kMaximumSeconds) {
        problem =
            QStringLiteral("Please enter an integer between %1 and %2.").arg(kMinimumSeconds).arg(kMaximumSeconds);
    } else {
        return value;
    }
    DialogSeams::ShowMessage(this, problem, QMessageBox::Warning);
    box->setFocus();
    box->selectAll();
    return std::nullopt;
}

void CVoiceActivationDialog::accept()
{
    const std::optional<int> stopSeconds = ReadSeconds(m_stopSeconds);
    if (!stopSeconds) {
        return;
    }
    const std::optional<int> newFileSeconds = ReadSeconds(m_newFileSeconds);
    if (!newFileSeconds) {
        return;
    }
    CRecordSettings& settings = CRecordSettings::Instance();
    settings.SetSilenceDetectorEnabled(m_detectorEnabled->isChecked());
    settings.SetSensitivity(m_sensitivity->value());
    settings.SetSkipSilentPassages(m_skipSilence->isChecked());
    settings.SetLongSilenceAction(m_newFileAction->isChecked() ? kNewFileActionValue : kStopActionValue);
    settings.SetStopAfterSeconds(*stopSeconds);
    settings.SetNewFileAfterSeconds(*newFileSeconds);
    QDialog::accept();
}

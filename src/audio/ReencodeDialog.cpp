#include "audio/ReencodeDialog.h"

#include "codec/RecordFormat.h"
#include "controls/ControlId.h"
#include "controls/EditCtrl.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

CReencodeDialog::CReencodeDialog(int presetIndex, QWidget* parent)
    : QDialog(parent)
    , m_bitrateCombo(CreateBitrateCombo(this, presetIndex))
    , m_volumeEdit(CreateVolumeEdit(this))
{
    setWindowTitle(QStringLiteral("Change bitrate/Volume"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Data  Rate"), m_bitrateCombo);
    form->addRow(QStringLiteral("Volume Scale "), m_volumeEdit);

    QHBoxLayout* buttons = CReencodeDialog::CreateOkCancelRow(this);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
}

int CReencodeDialog::BitrateKbps() const
{
    return BitrateOf(m_bitrateCombo);
}

float CReencodeDialog::VolumeScale() const
{
    return static_cast<float>(m_volumeEdit->GetValue());
}

QComboBox* CReencodeDialog::CreateBitrateCombo(QWidget* parent, int presetIndex)
{
    auto* combo = new QComboBox(parent);
    ControlId::Set(combo, kBitrateComboId);
    for (const int kbps : BitrateTable) {
        combo->addItem(QStringLiteral("%1 kbps").arg(kbps), kbps);
    }
    combo->setCurrentIndex(presetIndex >= 0 && presetIndex < combo->count() ? presetIndex : 0);
    return combo;
}

int CReencodeDialog::BitrateOf(const QComboBox* combo)
{
    return combo->currentData().toInt();
}

CEditCtrl* CReencodeDialog::CreateVolumeEdit(QWidget* parent)
{
    auto* edit = new CEditCtrl(parent);
    ControlId::Set(edit, kVolumeEditId);
    edit->SetRange(kMinVolume, kMaxVolume);
    edit->SetFormat(kVolumeWidth, kVolumeDecimals);
    edit->SetStep(kVolumeStep);
    edit->SetValue(kDefaultVolume);
    return edit;
}

QHBoxLayout* CReencodeDialog::CreateOkCancelRow(QDialog* dialog)
{
    auto* ok = new QPushButton(QStringLiteral("OK"), dialog);
    ControlId::Set(ok, kOkId);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    ControlId::Set(cancel, kCancelId);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    return buttons;
}

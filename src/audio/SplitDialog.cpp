#include "audio/SplitDialog.h"

#include "audio/ReencodeDialog.h"
#include "controls/ControlId.h"
#include "controls/EditCtrl.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

CSplitDialog::CSplitDialog(QWidget* parent)
    : QDialog(parent)
    , m_volumeEdit(CReencodeDialog::CreateVolumeEdit(this))
    , m_countEdit(new CEditCtrl(this))
{
    setWindowTitle(QStringLiteral("Splite"));
    ControlId::Set(m_countEdit, kCountEditId);
    m_countEdit->SetRange(kMinCount, kMaxCount);
    m_countEdit->SetFormat(kCountWidth, 0);
    m_countEdit->SetStep(1);
    m_countEdit->SetValue(kDefaultCount);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Volume Scale "), m_volumeEdit);
    form->addRow(QStringLiteral("Splite Count"), m_countEdit);

    QHBoxLayout* buttons = CReencodeDialog::CreateOkCancelRow(this);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
}

float CSplitDialog::VolumeScale() const
{
    return static_cast<float>(m_volumeEdit->GetValue());
}

int CSplitDialog::SplitCount() const
{
    int count = kDefaultCount;
    m_countEdit->Exchange(count, true);
    return count;
}

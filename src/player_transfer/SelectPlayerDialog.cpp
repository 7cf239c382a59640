#include "player_transfer/SelectPlayerDialog.h"

#include "controls/ControlId.h"
#include "player_transfer/PlayerTransfer.h"

#include <QDialogButtonBox>
#include <QListWidget>
#include <QVBoxLayout>

CSelectPlayerDialog::CSelectPlayerDialog(const QStringList& drives, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Select Mp3 Player"));
    ControlId::Set(this, kTemplateId);
    auto* layout = new QVBoxLayout(this);
    m_list = new QListWidget(this);
    ControlId::Set(m_list, kDriveListId);
    m_list->setSortingEnabled(true);
    m_list->addItems(drives);
    layout->addWidget(m_list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::currentTextChanged, this, [this](const QString& text) { m_drive = text; });
    if (m_list->count() > 0)
        m_list->setCurrentRow(0);
}

QString CSelectPlayerDialog::Choose(QWidget* parent)
{
    CSelectPlayerDialog dialog(PlayerTransfer::ListRemovableDrives(), parent);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.Drive();
}

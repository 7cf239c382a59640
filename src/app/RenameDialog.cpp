#include "app/RenameDialog.h"

#include "controls/ControlId.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{
constexpr int kMinimumEditWidth = 260;
} // namespace

CRenameDialog::CRenameDialog(const QString& currentName, QWidget* parent)
    : QDialog(parent)
    , m_nameEdit(new QLineEdit(currentName, this))
{
    setWindowTitle(QStringLiteral("Rename"));
    ControlId::Set(this, kDialogId);
    ControlId::Set(m_nameEdit, kNameEditId);
    m_nameEdit->setMinimumWidth(kMinimumEditWidth);
    m_nameEdit->selectAll();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ControlId::Set(buttons->button(QDialogButtonBox::Ok), kOkButtonId);
    ControlId::Set(buttons->button(QDialogButtonBox::Cancel), kCancelButtonId);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_nameEdit);
    layout->addWidget(buttons);
}

QString CRenameDialog::NewName() const
{
    return m_nameEdit->text();
}

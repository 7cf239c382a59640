#include "app/AboutDialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

CAboutDialog::CAboutDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QLatin1String(kTitle));
    auto* picture = new QLabel(this);
    picture->setPixmap(QPixmap(QStringLiteral(":/bitmap/%1.png").arg(kPictureId)));
    auto* version = new QLabel(QLatin1String(kVersionText), this);
    version->setObjectName(QStringLiteral("versionText"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* row = new QHBoxLayout;
    row->addWidget(picture);
    row->addWidget(version, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
}

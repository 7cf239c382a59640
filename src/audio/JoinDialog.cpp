#include "audio/JoinDialog.h"

#include "app/DataFileStore.h"
#include "app/DialogSeams.h"
#include "audio/ReencodeDialog.h"
#include "audio/ReplaceQuestion.h"
#include "controls/ControlId.h"
#include "record/RecordingNames.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{
constexpr const char* kMp3Filter = "Files (*.mp3)";
constexpr const char* kMp3Suffix = ".mp3";
constexpr const char* kSaveCaption = "Mp3 File";
} // namespace

CJoinDialog::CJoinDialog(int presetIndex, QWidget* parent)
    : QDialog(parent)
    , m_bitrateCombo(CReencodeDialog::CreateBitrateCombo(this, presetIndex))
    , m_outputEdit(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("Joint Mp3 File"));
    ControlId::Set(m_outputEdit, kOutputEditId);
    m_outputEdit->setReadOnly(true);
    auto* browse = new QPushButton(QStringLiteral("..."), this);
    ControlId::Set(browse, kBrowseButtonId);
    connect(browse, &QPushButton::clicked, this, &CJoinDialog::BrowseForOutput);
    auto* outputRow = new QHBoxLayout;
    outputRow->addWidget(m_outputEdit, 1);
    outputRow->addWidget(browse);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Data  Rate"), m_bitrateCombo);
    form->addRow(QStringLiteral("Mp3 File"), outputRow);

    QHBoxLayout* buttons = CReencodeDialog::CreateOkCancelRow(this);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
}

int CJoinDialog::BitrateKbps() const
{
    return CReencodeDialog::BitrateOf(m_bitrateCombo);
}

QString CJoinDialog::OutputPath() const
{
    return m_outputEdit->text();
}

void CJoinDialog::BrowseForOutput()
{
    const QString key = QString::fromLatin1(DataFileStore::kOpenDirKey);
    DialogSeams::FileRequest request;
    request.mode = DialogSeams::FileRequest::Mode::Save;
    request.caption = QString::fromLatin1(kSaveCaption);
    request.directory = DataFileStore::LoadFolder(key);
    request.filter = QString::fromLatin1(kMp3Filter);
    // The dialog adds the extension itself, so it asks about replacing the name it returns.
    request.defaultSuffix = QString::fromLatin1(kMp3Suffix + 1);
    const QStringList chosen = DialogSeams::RunFileDialog(this, request);
    if (chosen.isEmpty()) {
        return;
    }
    // The default extension: a name typed without one still names an MP3 file.
    QString path = chosen.front();
    if (!path.endsWith(QLatin1String(kMp3Suffix), Qt::CaseInsensitive)) {
        path += QLatin1String(kMp3Suffix);
    }
    if (!ReplaceQuestion::AcceptSavePath(this, chosen.front(), path, &m_replaceAgreed)) {
        return;
    }
    m_outputEdit->setText(path);
    DataFileStore::SaveFolder(key, RecordingNames::DirectoryPart(path));
}

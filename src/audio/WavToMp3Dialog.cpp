#include "audio/WavToMp3Dialog.h"

#include "app/DataFileStore.h"
#include "app/DialogSeams.h"
#include "app/RecordSettings.h"
#include "audio/ReplaceQuestion.h"
#include "codec/RecordFormat.h"
#include "controls/ControlId.h"
#include "controls/DialogSkinning.h"
#include "controls/EditCtrl.h"
#include "record/RecordingNames.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{
constexpr const char* kTitle = "Wav to Mp3 Convert";
constexpr const char* kWavFilter = "wav File (*.wav)";
constexpr const char* kMp3Filter = "Files(*.mp3)";
constexpr const char* kMp3Suffix = "mp3";
constexpr double kMinimumVolume = 0.1;
constexpr double kMaximumVolume = 10.0;
constexpr double kVolumeStep = 0.01;
constexpr double kUnchangedVolume = 1.0;
constexpr int kVolumeWidth = 4;
constexpr int kVolumeDecimals = 2;

QLineEdit* PathBox(int id, QWidget* parent)
{
    auto* box = new QLineEdit(parent);
    box->setReadOnly(true);
    ControlId::Set(box, id);
    return box;
}

QPushButton* BrowseButton(int id, QWidget* parent)
{
    auto* button = new QPushButton(QStringLiteral("..."), parent);
    button->setAutoDefault(false);
    ControlId::Set(button, id);
    return button;
}

// The first path the user chose, after remembering its folder under key; empty on cancel.
QString ChooseFile(QWidget* parent, DialogSeams::FileRequest::Mode mode, const char* key, const char* filter,
                   const char* defaultSuffix = "")
{
    DialogSeams::FileRequest request;
    request.mode = mode;
    // A save dialog that adds the extension itself asks about replacing the name it returns.
    request.defaultSuffix = QString::fromLatin1(defaultSuffix);
    request.directory = DataFileStore::LoadFolder(QString::fromLatin1(key));
    request.filter = QString::fromLatin1(filter);
    const QStringList chosen = DialogSeams::RunFileDialog(parent, request);
    if (chosen.isEmpty() || chosen.front().isEmpty()) {
        return {};
    }
    DataFileStore::SaveFolder(QString::fromLatin1(key), RecordingNames::DirectoryPart(chosen.front()));
    return chosen.front();
}
} // namespace

CWavToMp3Dialog::CWavToMp3Dialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QString::fromLatin1(kTitle));
    ControlId::Set(this, kDialogId);
    CreateControls();
    SkinDialogControls(this);
}

void CWavToMp3Dialog::CreateControls()
{
    m_bitrate = new QComboBox(this);
    for (const int kbps : BitrateTable) {
        m_bitrate->addItem(QStringLiteral("%1 kbps").arg(kbps));
    }
    const int index = CRecordSettings::Instance().BitrateIndex();
    m_bitrate->setCurrentIndex(index >= 0 && index < m_bitrate->count() ? index
                                                                        : CRecordSettings::kDefaultBitrateIndex);
    ControlId::Set(m_bitrate, kBitrateComboId);

    m_volume = new CEditCtrl(this);
    m_volume->SetRange(kMinimumVolume, kMaximumVolume);
    m_volume->SetFormat(kVolumeWidth, kVolumeDecimals);
    m_volume->SetStep(kVolumeStep);
    m_volume->SetValue(kUnchangedVolume);
    ControlId::Set(m_volume, kVolumeId);

    m_wavPath = PathBox(kWavEditId, this);
    m_mp3Path = PathBox(kMp3EditId, this);
    auto* wavBrowse = BrowseButton(kWavBrowseId, this);
    auto* mp3Browse = BrowseButton(kMp3BrowseId, this);
    connect(wavBrowse, &QPushButton::clicked, this, &CWavToMp3Dialog::BrowseWav);
    connect(mp3Browse, &QPushButton::clicked, this, &CWavToMp3Dialog::BrowseMp3);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Data  Rate"), this), 0, 0);
    grid->addWidget(m_bitrate, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Volume Scale "), this), 1, 0);
    grid->addWidget(m_volume, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Wav File"), this), 2, 0);
    grid->addWidget(m_wavPath, 2, 1);
    grid->addWidget(wavBrowse, 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("Mp3 File"), this), 3, 0);
    grid->addWidget(m_mp3Path, 3, 1);
    grid->addWidget(mp3Browse, 3, 2);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ControlId::Set(buttons->button(QDialogButtonBox::Ok), kOkButtonId);
    ControlId::Set(buttons->button(QDialogButtonBox::Cancel), kCancelButtonId);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

QString CWavToMp3Dialog::WavPath() const
{
    return m_wavPath->text();
}

QString CWavToMp3Dialog::Mp3Path() const
{
    return m_mp3Path->text();
}

int CWavToMp3Dialog::BitrateIndex() const
{
    return m_bitrate->currentIndex();
}

void CWavToMp3Dialog::BrowseWav()
{
    const QString path =
        ChooseFile(this, DialogSeams::FileRequest::Mode::OpenOne, DataFileStore::kOpenWavDirKey, kWavFilter);
    if (!path.isEmpty()) {
        m_wavPath->setText(path);
    }
}

void CWavToMp3Dialog::BrowseMp3()
{
    const QString chosen =
        ChooseFile(this, DialogSeams::FileRequest::Mode::Save, DataFileStore::kOpenDirKey, kMp3Filter, kMp3Suffix);
    if (chosen.isEmpty()) {
        return;
    }
    // A name typed without an extension gets the MP3 one, as the save dialog's default.
    QString path = chosen;
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QLatin1Char('.') + QLatin1String(kMp3Suffix);
    }
    if (!ReplaceQuestion::AcceptSavePath(this, chosen, path, &m_replaceAgreed)) {
        return;
    }
    m_mp3Path->setText(path);
}

double CWavToMp3Dialog::VolumeScale() const
{
    return m_volume->GetValue();
}

#include "audio/ProcessDialog.h"

#include "app/DialogSeams.h"
#include "audio/FileJob.h"
#include "controls/ControlId.h"
#include "controls/WindowPlacement.h"
#include "platform/AppEvent.h"

#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{
constexpr int kShowMessageEvent = 0x5B0; // worker -> dialog: a failure the user must see
constexpr int kMinimumWidth = 420;

const char* CaptionFor(int templateId)
{
    switch (templateId) {
    case CProcessDialog::kDecodeMp3Template:
        return "Decode MP3 file";
    case CProcessDialog::kEncodeMp3Template:
        return "Encode MP3 file";
    default:
        return "Process";
    }
}

// Carries a message text from the worker to the window thread.
class CMessageEvent : public QEvent
{
public:
    explicit CMessageEvent(QString text)
        : QEvent(static_cast<QEvent::Type>(kShowMessageEvent))
        , m_text(std::move(text))
    {}
    const QString& Text() const { return m_text; }

private:
    QString m_text;
};
} // namespace

CProcessDialog::CProcessDialog(int templateId, CFileJob& job, QWidget* parent)
    : QDialog(parent)
    , m_job(job)
{
    setWindowTitle(QString::fromLatin1(CaptionFor(templateId)));
    setMinimumWidth(kMinimumWidth);
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(QStringLiteral("File processing"), this);
    ControlId::Set(title, kTitleLabelId);
    m_pathEdit = new QLineEdit(this);
    m_pathEdit->setReadOnly(true);
    ControlId::Set(m_pathEdit, kPathEditId);
    m_fileBar = new QProgressBar(this);
    ControlId::Set(m_fileBar, kFileBarId);
    m_filesBar = new QProgressBar(this);
    ControlId::Set(m_filesBar, kFilesBarId);
    m_fileCountLabel = new QLabel(QStringLiteral("File"), this);
    ControlId::Set(m_fileCountLabel, kFileCountLabelId);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    ControlId::Set(cancel, kCancelId);
    connect(cancel, &QPushButton::clicked, this, &CProcessDialog::reject);

    for (QProgressBar* bar : {m_fileBar, m_filesBar}) {
        bar->setRange(0, 0);
        bar->setValue(0);
        bar->setTextVisible(false);
    }
    layout->addWidget(title);
    layout->addWidget(m_pathEdit);
    layout->addWidget(m_fileBar);
    layout->addWidget(m_filesBar);
    layout->addWidget(m_fileCountLabel);
    layout->addWidget(cancel, 0, Qt::AlignRight);

    // The waveform editor's windows show only the file's bar and Cancel.
    if (templateId != kProcessTemplate) {
        for (QWidget* hidden : {static_cast<QWidget*>(title), static_cast<QWidget*>(m_pathEdit),
                                static_cast<QWidget*>(m_filesBar), static_cast<QWidget*>(m_fileCountLabel)}) {
            hidden->hide();
        }
    }
}

CProcessDialog::~CProcessDialog()
{
    WaitForWorker();
}

int CProcessDialog::exec()
{
    m_filesBar->setRange(0, int(m_job.Files().size()));
    m_job.SetProgressReceiver(this);
    // Messages are shown by the window; the worker goes on without waiting for the user.
    m_job.SetMessageHandler(
        [this](const QString& text) { QCoreApplication::postEvent(this, new CMessageEvent(text)); });
    m_worker = std::thread([this] {
        m_job.Run();
        if (!m_job.IsCancelRequested()) {
            CAppEvent::Post(this, AppEventType::kCommand, kOkCommand);
        }
    });
    return QDialog::exec();
}

void CProcessDialog::reject()
{
    m_job.RequestCancel();
    WaitForWorker();
    QDialog::reject();
}

void CProcessDialog::WaitForWorker()
{
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

bool CProcessDialog::event(QEvent* event)
{
    const int type = int(event->type());
    if (type == AppEventType::kJobProgress) {
        const auto* progress = static_cast<CAppEvent*>(event);
        OnProgress(int(progress->WParam()), int(progress->LParam()));
        return true;
    }
    if (type == AppEventType::kCommand) {
        if (static_cast<CAppEvent*>(event)->WParam() == kOkCommand && !m_job.IsCancelRequested()) {
            WaitForWorker();
            accept();
        }
        return true;
    }
    if (type == kShowMessageEvent) {
        ++m_messagesShown;
        DialogSeams::ShowMessage(this, static_cast<CMessageEvent*>(event)->Text(), QMessageBox::Warning);
        return true;
    }
    return QDialog::event(event);
}

void CProcessDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Over the window it works for, also when that is a dialog not yet on screen.
    WindowPlacement::CentreOverParent(this);
}

void CProcessDialog::OnProgress(int fileIndex, int position)
{
    if (position != 0) {
        m_fileBar->setRange(0, std::max(m_job.FileRange(), position));
        m_fileBar->setValue(position);
        return;
    }
    const QStringList& files = m_job.Files();
    if (fileIndex >= 0 && fileIndex < files.size()) {
        m_pathEdit->setText(files[fileIndex]);
    }
    m_fileCountLabel->setText(QStringLiteral("File( %1 / %2 )").arg(fileIndex + 1).arg(files.size()));
    m_filesBar->setValue(fileIndex + 1);
    m_fileBar->setRange(0, std::max(m_job.FileRange(), 1));
    m_fileBar->setValue(0);
}

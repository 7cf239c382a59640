#include "app/DialogSeams.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <utility>

namespace DialogSeams
{
namespace
{
QMessageBox::StandardButton RealMessageBox(QWidget* parent, const MessageRequest& request)
{
    QMessageBox box(request.icon, request.caption, request.text, request.buttons, parent);
    if (request.defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(request.defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

// A file dialog object for what the static helpers cannot show: a default suffix and an extra
// drop-down list, which needs Qt's own dialog (a native one cannot take widgets).
QStringList RealFileDialogWithExtras(QWidget* parent, const FileRequest& request)
{
    QFileDialog dialog(parent, request.caption, request.directory, request.filter);
    switch (request.mode) {
    case FileRequest::Mode::OpenOne:
        dialog.setFileMode(QFileDialog::ExistingFile);
        break;
    case FileRequest::Mode::OpenMany:
        dialog.setFileMode(QFileDialog::ExistingFiles);
        break;
    case FileRequest::Mode::Save:
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        break;
    }
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    QComboBox* choices = nullptr;
    if (!request.choices.isEmpty()) {
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        choices = new QComboBox(&dialog);
        choices->addItems(request.choices);
        if (request.choiceIndex != nullptr && *request.choiceIndex >= 0 &&
            *request.choiceIndex < request.choices.size())
            choices->setCurrentIndex(*request.choiceIndex);
        auto* label = new QLabel(request.choiceLabel, &dialog);
        label->setBuddy(choices);
        if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
            const int row = grid->rowCount();
            grid->addWidget(label, row, 0);
            grid->addWidget(choices, row, 1);
        } else if (dialog.layout() != nullptr) {
            dialog.layout()->addWidget(label);
            dialog.layout()->addWidget(choices);
        }
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    if (choices != nullptr && request.choiceIndex != nullptr)
        *request.choiceIndex = choices->currentIndex();
    QStringList chosen = dialog.selectedFiles();
    if (request.mode != FileRequest::Mode::OpenMany && chosen.size() > 1)
        chosen = QStringList{chosen.front()};
    return chosen;
}

QStringList RealFileDialog(QWidget* parent, const FileRequest& request)
{
    if (!request.choices.isEmpty() || !request.defaultSuffix.isEmpty())
        return RealFileDialogWithExtras(parent, request);
    switch (request.mode) {
    case FileRequest::Mode::OpenOne: {
        const QString path = QFileDialog::getOpenFileName(parent, request.caption, request.directory, request.filter);
        return path.isEmpty() ? QStringList{} : QStringList{path};
    }
    case FileRequest::Mode::OpenMany:
        return QFileDialog::getOpenFileNames(parent, request.caption, request.directory, request.filter);
    case FileRequest::Mode::Save: {
        const QString path = QFileDialog::getSaveFileName(parent, request.caption, request.directory, request.filter);
        return path.isEmpty() ? QStringList{} : QStringList{path};
    }
    }
    return {};
}

MessageHandler& CurrentMessageHandler()
{
    static MessageHandler handler = RealMessageBox;
    return handler;
}

FileHandler& CurrentFileHandler()
{
    static FileHandler handler = RealFileDialog;
    return handler;
}
} // namespace

QMessageBox::StandardButton ShowMessage(QWidget* parent, const MessageRequest& request)
{
    return CurrentMessageHandler()(parent, request);
}

void ShowMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon)
{
    MessageRequest request;
    request.text = text;
    request.icon = icon;
    ShowMessage(parent, request);
}

QStringList RunFileDialog(QWidget* parent, const FileRequest& request)
{
    return CurrentFileHandler()(parent, request);
}

CScopedHandlers::CScopedHandlers(MessageHandler messages, FileHandler files)
    : m_previousMessages(CurrentMessageHandler())
    , m_previousFiles(CurrentFileHandler())
{
    if (messages)
        CurrentMessageHandler() = std::move(messages);
    if (files)
        CurrentFileHandler() = std::move(files);
}

CScopedHandlers::~CScopedHandlers()
{
    CurrentMessageHandler() = std::move(m_previousMessages);
    CurrentFileHandler() = std::move(m_previousFiles);
}
} // namespace DialogSeams

#include "app/DialogSeams.h"

#include <QFileDialog>
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

QStringList RealFileDialog(QWidget* parent, const FileRequest& request)
{
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

#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

// Message boxes and file dialogs are reached only through these seams, so tests answer them
// without a modal loop and the program's texts still come from one place.
namespace DialogSeams
{
constexpr const char* kDefaultCaption = "Sorvane";

struct MessageRequest
{
    QString text;
    QString caption = QString::fromLatin1(kDefaultCaption);
    QMessageBox::Icon icon = QMessageBox::Information;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

struct FileRequest
{
    enum class Mode
    {
        OpenOne,
        OpenMany,
        Save,
    };

    Mode mode = Mode::OpenOne;
    QString caption;
    // Folder to start in, or a file path to preselect.
    QString directory;
    // Qt filter text, e.g. "MP3 Files (*.mp3);;All Files (*)".
    QString filter;
    // Save: appended (without its dot) when the user typed a name without an extension.
    // A save dialog returns an existing file only after the user agreed to replace it.
    QString defaultSuffix;
    // An extra drop-down list shown under the file dialog when choices is not empty.
    QString choiceLabel;
    QStringList choices;
    int* choiceIndex = nullptr; // in: preselected, out: chosen
};

// Returns the button the user pressed.
using MessageHandler = std::function<QMessageBox::StandardButton(QWidget* parent, const MessageRequest&)>;
// Returns the chosen paths; empty when the user cancelled.
using FileHandler = std::function<QStringList(QWidget* parent, const FileRequest&)>;

QMessageBox::StandardButton ShowMessage(QWidget* parent, const MessageRequest& request);
// The common case: an OK box with the text.
void ShowMessage(QWidget* parent, const QString& text, QMessageBox::Icon icon = QMessageBox::Information);
QStringList RunFileDialog(QWidget* parent, const FileRequest& request);

// Replaces the handlers for its lifetime (tests); an empty function keeps the current one.
class CScopedHandlers
{
public:
    explicit CScopedHandlers(MessageHandler messages, FileHandler files = {});
    ~CScopedHandlers();
    CScopedHandlers(const CScopedHandlers&) = delete;
    CScopedHandlers& operator=(const CScopedHandlers&) = delete;

private:
    MessageHandler m_previousMessages;
    FileHandler m_previousFiles;
};
} // namespace DialogSeams

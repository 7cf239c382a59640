#pragma once

#include <QString>
#include <functional>

class QWidget;

// The folder browser is reached only through this seam, so tests answer it without a modal loop.
namespace FolderBrowserSeam
{
// Room for the longest path the platform accepts.
constexpr int kDefaultBufferSize = 4096;

struct FolderRequest
{
    // Empty texts keep the dialog's own caption and prompt.
    QString title;
    QString prompt;
};

// Runs the browser; true with the chosen folder (ending in a separator) when the user pressed OK.
using Handler = std::function<bool(QWidget* owner, const FolderRequest& request, QString& chosen)>;

// On OK `buffer` receives at most bufferSize - 1 characters of the chosen folder and the result is
// true; on Cancel `buffer` is left empty and the result is false.
bool BrowseForFolder(QWidget* owner, const QString& title, const QString& prompt, QString& buffer,
                     int bufferSize = kDefaultBufferSize);

// Replaces the handler for its lifetime (tests).
class CScopedHandler
{
public:
    explicit CScopedHandler(Handler handler);
    ~CScopedHandler();
    CScopedHandler(const CScopedHandler&) = delete;
    CScopedHandler& operator=(const CScopedHandler&) = delete;

private:
    Handler m_previous;
};
} // namespace FolderBrowserSeam

#include "controls/FolderBrowserSeam.h"

#include "controls/FolderBrowser.h"

#include <utility>

namespace FolderBrowserSeam
{
namespace
{
bool RunDialog(QWidget* owner, const FolderRequest& request, QString& chosen)
{
    CFolderBrowser browser(owner, request.title, request.prompt);
    if (browser.exec() != QDialog::Accepted)
        return false;
    chosen = browser.ChosenFolder();
    return true;
}

Handler& CurrentHandler()
{
    static Handler handler = RunDialog;
    return handler;
}

// At most `limit` characters, without splitting a character made of two UTF-16 units.
QString Truncated(const QString& text, int limit)
{
    if (limit <= 0)
        return {};
    if (text.size() <= limit)
        return text;
    QString cut = text.left(limit);
    if (cut.back().isHighSurrogate())
        cut.chop(1);
    return cut;
}
} // namespace

bool BrowseForFolder(QWidget* owner, const QString& title, const QString& prompt, QString& buffer, int bufferSize)
{
    buffer.clear();
    QString chosen;
    if (!CurrentHandler()(owner, FolderRequest{title, prompt}, chosen))
        return false;
    // The last place of the buffer holds the terminator.
    buffer = Truncated(chosen, bufferSize - 1);
    return true;
}

CScopedHandler::CScopedHandler(Handler handler)
    : m_previous(CurrentHandler())
{
    if (handler)
        CurrentHandler() = std::move(handler);
}

CScopedHandler::~CScopedHandler()
{
    CurrentHandler() = std::move(m_previous);
}
} // namespace FolderBrowserSeam

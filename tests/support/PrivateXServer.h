#pragma once

#include <QString>
#include <QTemporaryDir>
#include <sys/types.h>

// A private X server (Xvfb) for the tests that need real X input: grabs, window stacking and
// pointer events that Qt's offscreen platform cannot show. It picks a free display number
// itself, and a window manager runs on it when one is installed, as on a desktop. Both end
// with the object. Start it before the QApplication exists, so Qt connects to it.
class CPrivateXServer
{
public:
    CPrivateXServer();
    ~CPrivateXServer();
    CPrivateXServer(const CPrivateXServer&) = delete;
    CPrivateXServer& operator=(const CPrivateXServer&) = delete;

    // Empty when the server runs; otherwise why not, as a skip message.
    QString Missing() const { return m_missing; }
    // ":N"
    QString Display() const { return m_display; }
    bool HasWindowManager() const { return m_windowManager > 0; }

private:
    pid_t m_server = -1;
    pid_t m_windowManager = -1;
    QTemporaryDir m_configFolder;
    QString m_display;
    QString m_missing;
};

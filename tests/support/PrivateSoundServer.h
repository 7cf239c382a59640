#pragma once

#include <QString>

// A private sound server of one test's own, in a folder the test gives (inside its
// QTemporaryDir), started with scripts/sound-server.sh and stopped when this goes away. For
// tests that kill or reshape a server, which they must never do to the shared one.
class CPrivateSoundServer
{
public:
    CPrivateSoundServer() = default;
    ~CPrivateSoundServer();

    CPrivateSoundServer(const CPrivateSoundServer&) = delete;
    CPrivateSoundServer& operator=(const CPrivateSoundServer&) = delete;

    bool Start(const QString& folder);
    void Stop();
    // Ends the server at once with SIGKILL, as a crash would; Stop still cleans up after it.
    bool Kill();

    QString Address() const { return m_address; }
    QString PipePath() const { return m_pipe; }
    QString Folder() const { return m_folder; }
    QString StartError() const { return m_error; }

private:
    QString m_folder;
    QString m_address;
    QString m_pipe;
    QString m_error;
};

#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// One Sorvane per user and Data folder: the first program started listens on a local socket,
// and a later start hands its command line's files to it instead of opening a second window
// over the same settings.
class CSingleInstance : public QObject
{
    Q_OBJECT

public:
    static constexpr int kHandOverTimeoutMs = 5000;

    // The socket for this user and Data folder: in XDG_RUNTIME_DIR, else the temporary folder.
    static QString DefaultServerName();

    explicit CSingleInstance(QString serverName, QObject* parent = nullptr);
    ~CSingleInstance() override;

    // Gives the paths (made absolute here) to a running program; true when one took them.
    bool HandOver(const QStringList& paths, int timeoutMs = kHandOverTimeoutMs) const;
    // Starts listening, removing a socket a crashed run left behind; false when it cannot.
    bool Listen();
    const QString& ServerName() const { return m_serverName; }

signals:
    // Another start of the program asked to be shown, with the files it was given (maybe none).
    void activationRequested(const QStringList& paths);

private:
    void OnNewConnection();
    void ReadRequest(QLocalSocket* socket);

    QString m_serverName;
    QLocalServer* m_server = nullptr;
};

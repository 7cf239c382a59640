#include "app/SingleInstance.h"

#include "app/DataFolder.h"
#include "app/HandOverMessage.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <unistd.h>

namespace
{
constexpr char kAccepted = 'A';
// Enough of the Data folder's hash to tell two portable copies apart.
constexpr int kFolderHashLength = 12;
constexpr const char* kRuntimeDirectoryVariable = "XDG_RUNTIME_DIR";
constexpr const char* kReceivedProperty = "sorvaneReceived";
} // namespace

QString CSingleInstance::DefaultServerName()
{
    QString folder = qEnvironmentVariable(kRuntimeDirectoryVariable);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QDir::tempPath();
    }
    const QByteArray dataFolder = QFile::encodeName(QDir::cleanPath(CDataFolder::Path()));
    const QByteArray hash = QCryptographicHash::hash(dataFolder, QCryptographicHash::Sha1).toHex();
    return QDir(folder).filePath(
        QStringLiteral("sorvane-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash.left(kFolderHashLength))));
}

CSingleInstance::CSingleInstance(QString serverName, QObject* parent)
    : QObject(parent)
    , m_serverName(std::move(serverName))
{}

CSingleInstance::~CSingleInstance()
{
    if (m_server != nullptr) {
        m_server->close();
    }
}

bool CSingleInstance::HandOver(const QStringList& paths, int timeoutMs) const
{
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    // Names are relative to where this start was made, which the running program does not know.
    QStringList absolute;
    for (const QString& path : paths) {
        absolute << QFileInfo(path).absoluteFilePath();
    }
    socket.write(HandOverMessage::Encode(absolute));
    if (!socket.waitForBytesWritten(timeoutMs)) {
        return false;
    }
    while (socket.bytesAvailable() == 0) {
        if (!socket.waitForReadyRead(timeoutMs)) {
            return false;
        }
    }
    char answer = 0;
    return socket.read(&answer, 1) == 1 && answer == kAccepted;
}

bool CSingleInstance::Listen()
{
    // The socket is made elsewhere and renamed into place, which would silently take the name
    // from a running program: only a name nobody answers on (left by a crashed run) is taken.
    QLocalSocket probe;
    probe.connectToServer(m_serverName);
    if (probe.waitForConnected(kHandOverTimeoutMs)) {
        probe.abort();
        return false;
    }
    if (m_server == nullptr) {
        m_server = new QLocalServer(this);
        // Only this user may hand files over.
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
    }
    QLocalServer::removeServer(m_serverName);
    return m_server->listen(m_serverName);
}

void CSingleInstance::OnNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { ReadRequest(socket); });
        ReadRequest(socket);
    }
}

void CSingleInstance::ReadRequest(QLocalSocket* socket)
{
    // What came so far is kept on the socket until the whole hand-over is there.
    QByteArray received = socket->property(kReceivedProperty).toByteArray() + socket->readAll();
    QStringList paths;
    using HandOverMessage::DecodeStatus;
    const DecodeStatus status = received.size() > HandOverMessage::kMaxBytes
                                    ? DecodeStatus::Invalid
                                    : HandOverMessage::Decode(received, &paths);
    if (status == DecodeStatus::Incomplete) {
        socket->setProperty(kReceivedProperty, received);
        return;
    }
    if (status == DecodeStatus::Invalid) {
        socket->abort();
        return;
    }
    socket->setProperty(kReceivedProperty, QVariant());
    socket->write(&kAccepted, 1);
    socket->flush();
    emit activationRequested(paths);
}

#include "support/TestSoundServer.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace TestSoundServer
{
QString SharedServerAddress()
{
    return qEnvironmentVariable("PULSE_SERVER");
}

QString SharedPipePath()
{
    const QString pipe = qEnvironmentVariable("SORVANE_TEST_PIPE");
    return pipe.isEmpty() ? qEnvironmentVariable("SORVANE_SOUND_DIR") + QStringLiteral("/feed") : pipe;
}

QString SharedServerMissing()
{
    const QString folder = qEnvironmentVariable("SORVANE_SOUND_DIR");
    const QString server = SharedServerAddress();
    if (folder.isEmpty() || server.isEmpty()) {
        return QStringLiteral("needs the private test sound server: run scripts/test.sh, or start one with "
                              "eval \"$(scripts/sound-server.sh start)\" and stop it with "
                              "scripts/sound-server.sh stop \"$SORVANE_SOUND_DIR\"");
    }
    if (server != QStringLiteral("unix:") + folder + QStringLiteral("/native")) {
        return QStringLiteral("PULSE_SERVER is not the private test server of SORVANE_SOUND_DIR; "
                              "a test never touches another sound server");
    }
    return {};
}

void KeepCookieIn(const QString& folder)
{
    if (qEnvironmentVariableIsEmpty("PULSE_COOKIE")) {
        qputenv("PULSE_COOKIE", QFile::encodeName(folder + QStringLiteral("/cookie")));
    }
}

QString ScriptPath()
{
    return QStringLiteral(SORVANE_SOUND_SERVER_SCRIPT);
}

TestSupport::ToolResult Pactl(const QString& server, const QStringList& arguments)
{
    constexpr int kPactlTimeoutMs = 15000;
    return TestSupport::RunTool(QStringLiteral("pactl"), QStringList{QStringLiteral("--server=") + server} + arguments,
                                kPactlTimeoutMs);
}

bool WriteToPipe(const QString& path, const QByteArray& bytes)
{
    // The pipe source keeps the FIFO open for reading, so this open does not wait for a reader.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written = ::write(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            break;
        }
        done += written;
    }
    ::close(fd);
    return done == bytes.size();
}
} // namespace TestSoundServer

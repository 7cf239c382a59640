#include "support/PrivateXServer.h"

#include <QByteArray>
#include <QFile>
#include <QStandardPaths>
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{
constexpr const char* kServerProgram = "Xvfb";
// A small window manager that needs no set-up; any reparenting one shows the same behaviour.
constexpr const char* kWindowManagerProgram = "twm";
constexpr const char* kScreenGeometry = "1024x768x24";
constexpr int kDisplayNumberBytes = 16;
// Windows go where the program puts them, at once: twm's default waits for a click to place
// each new window.
constexpr const char* kWindowManagerConfig = "RandomPlacement\nUsePPosition \"on\"\nNoGrabServer\n";

pid_t Spawn(const QString& program, const std::vector<QByteArray>& arguments, posix_spawn_file_actions_t* actions)
{
    std::vector<QByteArray> argumentBytes{program.toLocal8Bit()};
    argumentBytes.insert(argumentBytes.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (QByteArray& bytes : argumentBytes) {
        argv.push_back(bytes.data());
    }
    argv.push_back(nullptr);
    pid_t child = -1;
    return posix_spawn(&child, argumentBytes.front().constData(), actions, nullptr, argv.data(), environ) == 0 ? child
                                                                                                               : -1;
}

void Stop(pid_t child)
{
    if (child > 0) {
        ::kill(child, SIGTERM);
        ::waitpid(child, nullptr, 0);
    }
}
} // namespace

CPrivateXServer::CPrivateXServer()
{
    const QString server = QStandardPaths::findExecutable(QLatin1String(kServerProgram));
    if (server.isEmpty()) {
        m_missing = QStringLiteral("Xvfb is not installed (scripts/setup.sh installs it)");
        return;
    }
    // Xvfb writes the display number it took into the pipe once it accepts clients.
    int ready[2];
    if (::pipe(ready) != 0) {
        m_missing = QStringLiteral("no pipe for Xvfb");
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, ready[0]);
    m_server =
        Spawn(server, {"-displayfd", QByteArray::number(ready[1]), "-screen", "0", kScreenGeometry, "-nolisten", "tcp"},
              &actions);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ready[1]);
    QByteArray number;
    char buffer[kDisplayNumberBytes];
    for (ssize_t got = 0; (got = ::read(ready[0], buffer, sizeof buffer)) > 0;) {
        number.append(buffer, got);
        if (number.contains('\n')) {
            break;
        }
    }
    ::close(ready[0]);
    number = number.trimmed();
    if (m_server <= 0 || number.isEmpty()) {
        Stop(m_server);
        m_server = -1;
        m_missing = QStringLiteral("Xvfb did not start");
        return;
    }
    m_display = QLatin1Char(':') + QString::fromLatin1(number);
    qputenv("DISPLAY", m_display.toLocal8Bit());

    const QString windowManager = QStandardPaths::findExecutable(QLatin1String(kWindowManagerProgram));
    const QString config = m_configFolder.filePath(QStringLiteral("twmrc"));
    QFile configFile(config);
    if (!windowManager.isEmpty() && configFile.open(QIODevice::WriteOnly) &&
        configFile.write(kWindowManagerConfig) > 0 && configFile.flush()) {
        m_windowManager = Spawn(windowManager, {"-f", config.toLocal8Bit()}, nullptr);
    }
}

CPrivateXServer::~CPrivateXServer()
{
    Stop(m_windowManager);
    Stop(m_server);
}

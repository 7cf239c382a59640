#include "support/PrivateSoundServer.h"

#include "support/TestSoundServer.h"
#include "support/TestSupport.h"

#include <QFile>
#include <signal.h>
#include <sys/types.h>

namespace
{
constexpr int kScriptTimeoutMs = 30000;

// "export NAME=VALUE" lines of the script; its paths need no shell quoting.
QString ExportedValue(const QByteArray& output, const QByteArray& name)
{
    const QByteArray prefix = "export " + name + "=";
    for (const QByteArray& line : output.split('\n')) {
        if (line.startsWith(prefix)) {
            return QString::fromUtf8(line.mid(prefix.size()).trimmed());
        }
    }
    return {};
}
} // namespace

CPrivateSoundServer::~CPrivateSoundServer()
{
    Stop();
}

bool CPrivateSoundServer::Start(const QString& folder)
{
    Stop();
    TestSoundServer::KeepCookieIn(folder);
    const TestSupport::ToolResult result = TestSupport::RunTool(
        QStringLiteral("bash"), {TestSoundServer::ScriptPath(), QStringLiteral("start"), folder}, kScriptTimeoutMs);
    m_address = ExportedValue(result.out, "PULSE_SERVER");
    m_pipe = ExportedValue(result.out, "SORVANE_TEST_PIPE");
    m_folder = ExportedValue(result.out, "SORVANE_SOUND_DIR");
    if (result.exitCode != 0 || m_address.isEmpty() || m_folder.isEmpty()) {
        m_error = QString::fromUtf8(result.err);
        return false;
    }
    return true;
}

bool CPrivateSoundServer::Kill()
{
    QFile pidFile(m_folder + QStringLiteral("/run/pid"));
    if (m_folder.isEmpty() || !pidFile.open(QIODevice::ReadOnly)) {
        return false;
    }
    bool ok = false;
    const pid_t pid = static_cast<pid_t>(pidFile.readAll().trimmed().toLongLong(&ok));
    return ok && pid > 0 && ::kill(pid, SIGKILL) == 0;
}

void CPrivateSoundServer::Stop()
{
    if (m_folder.isEmpty()) {
        return;
    }
    TestSupport::RunTool(QStringLiteral("bash"), {TestSoundServer::ScriptPath(), QStringLiteral("stop"), m_folder},
                         kScriptTimeoutMs);
    m_folder.clear();
    m_address.clear();
    m_pipe.clear();
}

#include "support/SoundServerLock.h"

#include <QFile>
#include <QString>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

CSoundServerLock::CSoundServerLock()
{
    const QString folder = qEnvironmentVariable("SORVANE_SOUND_DIR");
    if (folder.isEmpty()) {
        return;
    }
    const QByteArray path = QFile::encodeName(folder + QStringLiteral("/tests.lock"));
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        return;
    }
    int result = 0;
    do {
        result = ::flock(m_fd, LOCK_EX);
    } while (result < 0 && errno == EINTR);
    if (result < 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

CSoundServerLock::~CSoundServerLock()
{
    if (m_fd >= 0) {
        ::flock(m_fd, LOCK_UN);
        ::close(m_fd);
    }
}

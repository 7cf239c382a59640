#include "app/ReplacementFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace
{
constexpr int kNameAttempts = 100;
constexpr int kNewFileMode = 0644;
} // namespace

CReplacementFile::CReplacementFile(const QString& targetPath)
    : m_targetPath(targetPath)
{}

CReplacementFile::~CReplacementFile()
{
    if (!m_committed) {
        Discard();
    }
}

bool CReplacementFile::Create()
{
    const QFileInfo target(m_targetPath);
    const QString folder = target.absolutePath();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QString candidate = QStringLiteral("%1/.%2.%3.part")
                                      .arg(folder, target.fileName())
                                      .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const QByteArray native = QFile::encodeName(candidate);
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
        if (fd >= 0) {
            ::close(fd);
            m_temporaryPath = candidate;
            return true;
        }
        if (errno != EEXIST) {
            return false;
        }
    }
    return false;
}

bool CReplacementFile::Commit()
{
    if (m_temporaryPath.isEmpty()) {
        return false;
    }
    const QByteArray from = QFile::encodeName(m_temporaryPath);
    const QByteArray to = QFile::encodeName(m_targetPath);
    if (std::rename(from.constData(), to.constData()) != 0) {
        return false;
    }
    m_committed = true;
    m_temporaryPath.clear();
    return true;
}

void CReplacementFile::Discard()
{
    if (!m_temporaryPath.isEmpty()) {
        QFile::remove(m_temporaryPath);
        m_temporaryPath.clear();
    }
}

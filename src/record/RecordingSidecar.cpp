#include "record/RecordingSidecar.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
constexpr const char* kMagicLine = "Sorvane recording";
constexpr const char* kFileKey = "file=";
constexpr const char* kRateKey = "rate=";
constexpr char kLineEnd = '\n';
// A marker is a few lines; anything much larger is not one of ours.
constexpr qsizetype kMaxMarkerBytes = 64 * 1024;
constexpr mode_t kMarkerMode = 0644;

QByteArray NativePath(const QString& path)
{
    return QFile::encodeName(path);
}

bool LockWithoutWaiting(int fd)
{
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

// The open marker is still the file at path: not removed or replaced while we waited for it.
bool StillAtPath(int fd, const QString& path)
{
    struct stat opened
    {
    };
    struct stat named
    {
    };
    return ::fstat(fd, &opened) == 0 && ::stat(NativePath(path).constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

bool WriteAllAt(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written =
            ::pwrite(fd, bytes.constData() + done, std::size_t(bytes.size() - done), static_cast<off_t>(done));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        done += written;
    }
    return true;
}

QByteArray ReadAllFrom(int fd)
{
    QByteArray bytes;
    char chunk[4096];
    off_t offset = 0;
    while (bytes.size() <= kMaxMarkerBytes) {
        const ssize_t got = ::pread(fd, chunk, sizeof(chunk), offset);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        bytes.append(chunk, got);
        offset += got;
    }
    return bytes;
}
} // namespace

CRecordingSidecar::CRecordingSidecar(ConstructionKey, int fd, QString recordedPath)
    : m_fd(fd)
    , m_recordedPath(std::move(recordedPath))
{}

CRecordingSidecar::~CRecordingSidecar()
{
    if (m_fd >= 0) {
        ::close(m_fd); // releases the lock
    }
}

QString CRecordingSidecar::PathFor(const QString& recordedPath)
{
    return recordedPath + QLatin1String(kSuffix);
}

QByteArray CRecordingSidecar::Encode(const Contents& contents)
{
    QByteArray bytes(kMagicLine);
    bytes += kLineEnd;
    // Percent-encoded, so any name the user typed survives the line format.
    bytes += kFileKey + contents.recordFileText.toUtf8().toPercentEncoding() + kLineEnd;
    bytes += kRateKey + QByteArray::number(contents.samplesPerSec) + kLineEnd;
    return bytes;
}

bool CRecordingSidecar::Decode(const QByteArray& bytes, Contents& contents)
{
    contents = {};
    if (bytes.size() > kMaxMarkerBytes) {
        return false;
    }
    const QList<QByteArray> lines = bytes.split(kLineEnd);
    if (lines.isEmpty() || lines.first() != kMagicLine) {
        return false;
    }
    bool haveFile = false;
    for (const QByteArray& line : lines) {
        if (line.startsWith(kFileKey)) {
            contents.recordFileText = QString::fromUtf8(QByteArray::fromPercentEncoding(line.mid(qstrlen(kFileKey))));
            haveFile = true;
        } else if (line.startsWith(kRateKey)) {
            bool ok = false;
            const uint rate = line.mid(qstrlen(kRateKey)).toUInt(&ok);
            contents.samplesPerSec = ok ? rate : 0;
        }
    }
    return haveFile;
}

std::unique_ptr<CRecordingSidecar> CRecordingSidecar::Create(const QString& recordedPath, const QString& recordFileText,
                                                             std::uint32_t samplesPerSec)
{
    const QString path = PathFor(recordedPath);
    const int fd = ::open(NativePath(path).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, kMarkerMode);
    if (fd < 0) {
        return nullptr;
    }
    auto sidecar = std::make_unique<CRecordingSidecar>(ConstructionKey{}, fd, recordedPath);
    // Nobody else can have it yet: it did not exist a moment ago.
    if (!LockWithoutWaiting(fd)) {
        sidecar->Remove();
        return nullptr;
    }
    sidecar->m_contents = {recordFileText, samplesPerSec};
    if (!sidecar->Write()) {
        sidecar->Remove();
        return nullptr;
    }
    return sidecar;
}

std::unique_ptr<CRecordingSidecar> CRecordingSidecar::ClaimOrphan(const QString& recordedPath)
{
    const QString path = PathFor(recordedPath);
    const int fd = ::open(NativePath(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    auto sidecar = std::make_unique<CRecordingSidecar>(ConstructionKey{}, fd, recordedPath);
    if (!LockWithoutWaiting(fd) || !StillAtPath(fd, path)) {
        return nullptr; // still recording somewhere, or already filed and gone
    }
    // A damaged marker still says that a recording was here; it is filed under its own name.
    sidecar->Read();
    return sidecar;
}

std::vector<std::unique_ptr<CRecordingSidecar>> CRecordingSidecar::ClaimOrphans(const QString& folder)
{
    std::vector<std::unique_ptr<CRecordingSidecar>> orphans;
    if (folder.isEmpty()) {
        return orphans;
    }
    const QDir directory(folder);
    const QString pattern = QStringLiteral("*") + QLatin1String(kSuffix);
    const QStringList markers = directory.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    const qsizetype suffixLength = qstrlen(kSuffix);
    for (const QString& marker : markers) {
        const QString recordedPath = directory.filePath(marker.left(marker.size() - suffixLength));
        if (auto orphan = ClaimOrphan(recordedPath)) {
            orphans.push_back(std::move(orphan));
        }
    }
    return orphans;
}

bool CRecordingSidecar::Write()
{
    const QByteArray bytes = Encode(m_contents);
    return m_fd >= 0 && ::ftruncate(m_fd, 0) == 0 && WriteAllAt(m_fd, bytes);
}

bool CRecordingSidecar::Read()
{
    return m_fd >= 0 && Decode(ReadAllFrom(m_fd), m_contents);
}

bool CRecordingSidecar::UpdateRecordFileText(const QString& recordFileText)
{
    if (recordFileText == m_contents.recordFileText) {
        return true;
    }
    m_contents.recordFileText = recordFileText;
    return Write();
}

void CRecordingSidecar::Remove()
{
    // Unlinked before the lock goes, so nobody can claim a marker that is on its way out.
    QFile::remove(PathFor(m_recordedPath));
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

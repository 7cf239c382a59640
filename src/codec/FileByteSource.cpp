#include "codec/FileByteSource.h"

#include <QFileInfo>
#include <algorithm>
#include <cstring>

namespace
{
// Large enough that a read costs next to nothing per frame, small beside any memory target.
constexpr std::size_t kReadPieceBytes = 256 * 1024;
} // namespace

CFileByteSource::CFileByteSource() = default;
CFileByteSource::~CFileByteSource() = default;

bool CFileByteSource::Open(const QString& path)
{
    m_file.close();
    m_size = 0;
    m_bufferFill = 0;
    m_failed = false;
    m_errorText.clear();
    // Only regular files: a FIFO or a device would block or never end.
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        m_errorText = QStringLiteral("Cannot open %1: not a regular file").arg(path);
        return false;
    }
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        m_errorText = QStringLiteral("Cannot open %1: %2").arg(path, m_file.errorString());
        return false;
    }
    m_size = static_cast<std::uint64_t>(std::max<qint64>(m_file.size(), 0));
    if (!m_buffer) {
        m_buffer = std::make_unique_for_overwrite<std::uint8_t[]>(kReadPieceBytes);
    }
    return true;
}

bool CFileByteSource::Fill(std::uint64_t offset)
{
    m_bufferOffset = offset;
    m_bufferFill = 0;
    if (!m_file.isOpen() || !m_file.seek(static_cast<qint64>(offset))) {
        m_failed = true;
        return false;
    }
    const std::size_t wanted = std::min<std::uint64_t>(kReadPieceBytes, m_size - offset);
    while (m_bufferFill < wanted) {
        const qint64 got = m_file.read(reinterpret_cast<char*>(m_buffer.get()) + m_bufferFill,
                                       static_cast<qint64>(wanted - m_bufferFill));
        if (got <= 0) {
            // A file cut short while it is read ends where it ends; an error is an error.
            m_failed = got < 0;
            break;
        }
        m_bufferFill += static_cast<std::size_t>(got);
    }
    return m_bufferFill > 0;
}

std::size_t CFileByteSource::ReadAt(std::uint64_t offset, std::size_t length, std::uint8_t* out)
{
    if (offset >= m_size || length == 0) {
        return 0;
    }
    std::size_t done = 0;
    while (done < length && offset < m_size) {
        if (offset < m_bufferOffset || offset >= m_bufferOffset + m_bufferFill) {
            if (!Fill(offset)) {
                break;
            }
        }
        const std::size_t at = static_cast<std::size_t>(offset - m_bufferOffset);
        const std::size_t count = std::min(length - done, m_bufferFill - at);
        std::memcpy(out + done, m_buffer.get() + at, count);
        done += count;
        offset += count;
    }
    return done;
}

#include "codec/WholeFile.h"

#include <QFile>

bool CWholeFile::Load(const QString& path)
{
    m_data.reset();
    m_size = 0;
    m_errorText.clear();

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_errorText = QStringLiteral("Cannot open %1: %2").arg(path, file.errorString());
        return false;
    }
    const qint64 size = file.size();
    if (size < 0) {
        m_errorText = QStringLiteral("Cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    auto data = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(size));
    qint64 done = 0;
    while (done < size) {
        const qint64 read = file.read(reinterpret_cast<char*>(data.get()) + done, size - done);
        if (read <= 0) {
            m_errorText = QStringLiteral("Cannot read %1: %2")
                              .arg(path, read < 0 ? file.errorString() : QStringLiteral("file ended early"));
            return false;
        }
        done += read;
    }
    m_data = std::move(data);
    m_size = static_cast<std::size_t>(size);
    return true;
}

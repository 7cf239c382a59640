#include "app/DataFileStore.h"

#include "app/AtomicFile.h"
#include "app/DataFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <limits>

namespace
{
constexpr qsizetype kLengthFieldSize = 4;
constexpr char kTextTerminator = '\0';

bool IsSafeKey(const QString& key)
{
    return !key.isEmpty() && !key.contains(QLatin1Char('/')) && !key.contains(QChar(u'\0')) &&
           key != QLatin1String(".") && key != QLatin1String("..");
}

std::uint32_t DecodeLength(const QByteArray& field)
{
    return qFromLittleEndian<std::uint32_t>(field.constData());
}
} // namespace

namespace DataFileStore
{
QString FilePath(const QString& key)
{
    if (!IsSafeKey(key)) {
        return {};
    }
    return CDataFolder::FilePath(key + QLatin1String(kExtension));
}

std::optional<QByteArray> LoadDataFile(const QString& key)
{
    const QString path = FilePath(key);
    // Only regular files: a FIFO or device under this name would block or never end.
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray lengthField = file.read(kLengthFieldSize);
    if (lengthField.size() != kLengthFieldSize) {
        return std::nullopt;
    }
    const std::uint32_t length = DecodeLength(lengthField);
    // Check the claim against the real size before reading, so a damaged length never makes
    // us ask for more memory than the file holds.
    if (static_cast<qint64>(length) > file.size() - kLengthFieldSize) {
        return std::nullopt;
    }
    QByteArray payload = file.read(length);
    if (payload.size() != static_cast<qsizetype>(length)) {
        return std::nullopt;
    }
    return payload;
}

bool SaveDataFile(const QString& key, const QByteArray& payload)
{
    const QString path = FilePath(key);
    const std::optional<QByteArray> image = EncodeDataFile(payload);
    if (path.isEmpty() || !image) {
        return false;
    }
    return WriteFileAtomically(path, *image);
}

std::optional<QByteArray> ParseDataFile(const QByteArray& fileBytes)
{
    if (fileBytes.size() < kLengthFieldSize) {
        return std::nullopt;
    }
    const std::uint32_t length = DecodeLength(fileBytes);
    if (static_cast<qint64>(length) > fileBytes.size() - kLengthFieldSize) {
        return std::nullopt;
    }
    return fileBytes.mid(kLengthFieldSize, length);
}

std::optional<QByteArray> EncodeDataFile(const QByteArray& payload)
{
    if (static_cast<quint64>(payload.size()) > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    QByteArray image(kLengthFieldSize, Qt::Uninitialized);
    qToLittleEndian<std::uint32_t>(static_cast<std::uint32_t>(payload.size()), image.data());
    image.append(payload);
    return image;
}

QString FolderFromPayload(const QByteArray& payload)
{
    // The text ends at its terminator; anything after it is not part of the folder.
    const qsizetype end = payload.indexOf(kTextTerminator);
    return QString::fromUtf8(end < 0 ? payload : payload.left(end));
}

QByteArray PayloadFromFolder(const QString& folder)
{
    QByteArray payload = folder.toUtf8();
    payload.append(kTextTerminator);
    return payload;
}

QString LoadFolder(const QString& key)
{
    return LoadFolder(key, CDataFolder::UserDefaultFolder());
}

QString LoadFolder(const QString& key, const QString& fallback)
{
    const std::optional<QByteArray> payload = LoadDataFile(key);
    if (!payload) {
        return fallback;
    }
    const QString folder = FolderFromPayload(*payload);
    return folder.isEmpty() ? fallback : folder;
}

bool SaveFolder(const QString& key, const QString& folder)
{
    return SaveDataFile(key, PayloadFromFolder(folder));
}
} // namespace DataFileStore

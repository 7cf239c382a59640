#include "app/HandOverMessage.h"

#include <QtEndian>

namespace
{
constexpr char kMagic[] = "SRVOPEN1";
constexpr int kMagicLength = sizeof(kMagic) - 1;
constexpr int kCountBytes = 4;

void AppendCount(QByteArray& bytes, quint32 value)
{
    char buffer[kCountBytes];
    qToBigEndian(value, buffer);
    bytes.append(buffer, kCountBytes);
}

quint32 ReadCount(const QByteArray& bytes, qsizetype offset)
{
    return qFromBigEndian<quint32>(bytes.constData() + offset);
}
} // namespace

namespace HandOverMessage
{
QByteArray Encode(const QStringList& paths)
{
    QByteArray bytes(kMagic, kMagicLength);
    AppendCount(bytes, quint32(paths.size()));
    for (const QString& path : paths) {
        const QByteArray name = path.toUtf8();
        AppendCount(bytes, quint32(name.size()));
        bytes.append(name);
    }
    return bytes;
}

DecodeStatus Decode(const QByteArray& bytes, QStringList* paths)
{
    const qsizetype header = kMagicLength + kCountBytes;
    if (bytes.size() < header) {
        // Whatever has come must at least begin as a hand-over does.
        return QByteArray(kMagic, kMagicLength).startsWith(bytes.left(kMagicLength)) ? DecodeStatus::Incomplete
                                                                                     : DecodeStatus::Invalid;
    }
    if (!bytes.startsWith(QByteArray(kMagic, kMagicLength))) {
        return DecodeStatus::Invalid;
    }
    const quint32 count = ReadCount(bytes, kMagicLength);
    // Each path needs at least its length field.
    if (count > quint32(kMaxBytes / kCountBytes)) {
        return DecodeStatus::Invalid;
    }
    QStringList decoded;
    qsizetype offset = header;
    for (quint32 index = 0; index < count; ++index) {
        if (bytes.size() - offset < kCountBytes) {
            return DecodeStatus::Incomplete;
        }
        const quint32 length = ReadCount(bytes, offset);
        offset += kCountBytes;
        if (length > quint32(kMaxBytes)) {
            return DecodeStatus::Invalid;
        }
        if (bytes.size() - offset < qsizetype(length)) {
            return DecodeStatus::Incomplete;
        }
        decoded << QString::fromUtf8(bytes.constData() + offset, qsizetype(length));
        offset += qsizetype(length);
    }
    if (offset != bytes.size()) {
        return DecodeStatus::Invalid;
    }
    if (paths != nullptr) {
        *paths = decoded;
    }
    return DecodeStatus::Complete;
}
} // namespace HandOverMessage

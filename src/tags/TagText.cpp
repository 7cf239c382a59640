#include "tags/TagText.h"

#include <QStringDecoder>

namespace TagText
{
QString Decode(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

QByteArray EncodeCut(const QString& text, int maxBytes)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.size() <= maxBytes) {
        return bytes;
    }
    int end = std::max(maxBytes, 0);
    constexpr unsigned char kContinuationMask = 0xC0;
    constexpr unsigned char kContinuationMark = 0x80;
    while (end > 0 && (static_cast<unsigned char>(bytes[end]) & kContinuationMask) == kContinuationMark) {
        --end;
    }
    bytes.truncate(end);
    return bytes;
}

QString WithoutLeadingSpace(const QString& text)
{
    qsizetype start = 0;
    while (start < text.size() && text.at(start).isSpace()) {
        ++start;
    }
    return text.mid(start);
}
} // namespace TagText

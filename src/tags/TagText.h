#pragma once

#include <QByteArray>
#include <QString>

// How Unicode text meets the byte strings of ID3v1 tags and WAV INFO lists: UTF-8 when it is
// written, and read as UTF-8 unless the bytes are not UTF-8 at all.
namespace TagText
{
// Tags written by other programs are often in a Western code page rather than UTF-8; those
// bytes are shown as Latin-1 instead of as replacement characters.
QString Decode(const QByteArray& bytes);
// UTF-8 bytes of the text cut to at most maxBytes, never in the middle of a character.
QByteArray EncodeCut(const QString& text, int maxBytes);
QString WithoutLeadingSpace(const QString& text);
} // namespace TagText

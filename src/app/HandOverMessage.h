#pragma once

#include <QByteArray>
#include <QStringList>

// The bytes one start of the program sends another: the files named on its command line.
// "SRVOPEN1", a big-endian 32-bit count, then each path as a big-endian 32-bit byte length and
// its UTF-8 bytes.
namespace HandOverMessage
{
// A hand-over larger than this is not a list of file names.
constexpr int kMaxBytes = 1024 * 1024;

enum class DecodeStatus
{
    Complete,
    Incomplete, // a prefix of a hand-over: wait for more
    Invalid,
};

QByteArray Encode(const QStringList& paths);
// paths may be null; it is set only for a complete message.
DecodeStatus Decode(const QByteArray& bytes, QStringList* paths);
} // namespace HandOverMessage

#include "platform/ExecutableDirectory.h"

#include <QFile>
#include <string>
#include <unistd.h>

namespace
{
constexpr const char* kSelfExecutableLink = "/proc/self/exe";
constexpr std::size_t kInitialPathCapacity = 256;
constexpr std::size_t kMaximumPathCapacity = 1 << 20;

// readlink neither terminates nor reports truncation, so grow until the answer fits.
std::string ExecutablePath()
{
    for (std::size_t capacity = kInitialPathCapacity; capacity <= kMaximumPathCapacity; capacity *= 2) {
        std::string buffer(capacity, '\0');
        const ssize_t length = ::readlink(kSelfExecutableLink, buffer.data(), buffer.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(length));
            return buffer;
        }
    }
    return {};
}
} // namespace

QString ExecutableDirectory()
{
    const QString path = QFile::decodeName(ExecutablePath().c_str());
    const qsizetype lastSeparator = path.lastIndexOf(QLatin1Char('/'));
    if (lastSeparator < 0) {
        return {};
    }
    // The executable in the root folder: keep "/" rather than an empty name.
    if (lastSeparator == 0) {
        return QStringLiteral("/");
    }
    return path.left(lastSeparator);
}

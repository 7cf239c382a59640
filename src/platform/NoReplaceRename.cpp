#include "platform/NoReplaceRename.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>

namespace
{
bool Exists(const QByteArray& nativePath)
{
    struct stat info
    {
    };
    return ::lstat(nativePath.constData(), &info) == 0;
}
} // namespace

namespace NoReplaceRename
{
int Rename(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // A file system without the flag: check, then rename (the window between them is tiny).
    if (Exists(to)) {
        return EEXIST;
    }
    if (std::rename(from.constData(), to.constData()) == 0) {
        return 0;
    }
    return errno != 0 ? errno : EIO;
}
} // namespace NoReplaceRename

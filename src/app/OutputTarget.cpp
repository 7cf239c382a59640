#include "app/OutputTarget.h"

#include <QFile>
#include <sys/stat.h>

namespace
{
bool StatOf(const QString& path, struct stat* info)
{
    return ::stat(QFile::encodeName(path).constData(), info) == 0;
}
} // namespace

COutputTarget::Verdict COutputTarget::Examine(const QString& path, const QStringList& inputs)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat link
    {
    };
    if (::lstat(native.constData(), &link) != 0) {
        return Verdict::New;
    }
    struct stat target
    {
    };
    if (::stat(native.constData(), &target) != 0) {
        return Verdict::DanglingLink;
    }
    if (!S_ISREG(target.st_mode)) {
        return Verdict::NotRegular;
    }
    for (const QString& input : inputs) {
        struct stat other
        {
        };
        if (StatOf(input, &other) && other.st_dev == target.st_dev && other.st_ino == target.st_ino) {
            return Verdict::IsAnInput;
        }
    }
    return Verdict::ExistingFile;
}

QString COutputTarget::RefusalText(const QString& path, Verdict verdict)
{
    switch (verdict) {
    case Verdict::New:
        return {};
    case Verdict::ExistingFile:
        return QStringLiteral("%1: already exists; it was left as it was").arg(path);
    case Verdict::NotRegular:
        return QStringLiteral("%1: not a regular file; nothing was written to it").arg(path);
    case Verdict::DanglingLink:
        return QStringLiteral("%1: a symbolic link to nothing; nothing was written through it").arg(path);
    case Verdict::IsAnInput:
        return QStringLiteral("%1: the output would overwrite the input; nothing was written").arg(path);
    }
    return {};
}

QString COutputTarget::Refusal(const QString& path, bool replaceAgreed, const QStringList& inputs)
{
    const Verdict verdict = Examine(path, inputs);
    if (verdict == Verdict::New || (verdict == Verdict::ExistingFile && replaceAgreed)) {
        return {};
    }
    return RefusalText(path, verdict);
}

bool COutputTarget::SameFile(const QString& first, const QString& second)
{
    struct stat a
    {
    };
    struct stat b
    {
    };
    return StatOf(first, &a) && StatOf(second, &b) && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

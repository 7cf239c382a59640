#include "app/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <unistd.h>

bool WriteFileAtomically(const QString& path, const QByteArray& bytes)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        return false;
    }
    // Without direct-write fallback (the default) an unwritable folder fails here instead of
    // truncating the old file in place.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    // commit() alone misses a failure of the final buffer flush (a full disk, a size limit)
    // and would rename a short file over the good one, so flush and sync here and check both.
    const bool written = file.write(bytes) == bytes.size() && file.flush() && ::fsync(file.handle()) == 0;
    if (!written) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

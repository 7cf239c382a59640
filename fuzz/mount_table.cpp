// Feeds arbitrary text to the volume listing as a mount table (one "root<TAB>device<TAB>type" a
// line) and as the stand-in roots variable: grouping by server, share labels and the drive list
// must hold up against whatever device names the system or the user hands over.
#include "platform/Volumes.h"

#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    QList<Volumes::MountPoint> mounts;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        Volumes::MountPoint mount;
        mount.rootPath = fields.value(0);
        mount.device = fields.value(1);
        mount.fileSystemType = fields.value(2);
        mounts.append(mount);
    }
    for (const Volumes::Drive& drive : Volumes::Drives(mounts)) {
        if (!drive.rootPath.endsWith(QLatin1Char('/')))
            std::abort();
    }
    for (const Volumes::NetworkResource& server : Volumes::NetworkServers(mounts)) {
        Volumes::DisplayLabel(Volumes::NetworkLabel(server));
        for (const Volumes::NetworkResource& share : Volumes::NetworkShares(mounts, server)) {
            if (!share.localName.endsWith(QLatin1Char('/')))
                std::abort();
            Volumes::DisplayLabel(Volumes::NetworkLabel(share));
        }
    }
    Volumes::ParseRoots(text);
    return 0;
}

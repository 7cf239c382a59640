#include "platform/Volumes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>
#include <algorithm>

namespace Volumes
{
namespace
{
constexpr QChar kSeparator = QLatin1Char('/');
constexpr QChar kEntrySeparator = QLatin1Char(';');
constexpr QChar kKindSeparator = QLatin1Char('=');
constexpr QChar kHostSeparator = QLatin1Char(':');

// Mounts under these folders belong to the system, not to the user.
const QStringList& SystemMountFolders()
{
    static const QStringList folders{QStringLiteral("/proc"), QStringLiteral("/sys"),  QStringLiteral("/dev"),
                                     QStringLiteral("/run"),  QStringLiteral("/snap"), QStringLiteral("/boot/efi")};
    return folders;
}

const QStringList& RemovableMediaFolders()
{
    static const QStringList folders{QStringLiteral("/media"), QStringLiteral("/run/media")};
    return folders;
}

const QStringList& PseudoFileSystems()
{
    static const QStringList types{
        QStringLiteral("proc"),        QStringLiteral("sysfs"),          QStringLiteral("devtmpfs"),
        QStringLiteral("devpts"),      QStringLiteral("cgroup"),         QStringLiteral("cgroup2"),
        QStringLiteral("securityfs"),  QStringLiteral("pstore"),         QStringLiteral("bpf"),
        QStringLiteral("tracefs"),     QStringLiteral("debugfs"),        QStringLiteral("mqueue"),
        QStringLiteral("hugetlbfs"),   QStringLiteral("fusectl"),        QStringLiteral("configfs"),
        QStringLiteral("binfmt_misc"), QStringLiteral("autofs"),         QStringLiteral("squashfs"),
        QStringLiteral("efivarfs"),    QStringLiteral("rpc_pipefs"),     QStringLiteral("nsfs"),
        QStringLiteral("fuse.portal"), QStringLiteral("fuse.gvfsd-fuse")};
    return types;
}

const QStringList& NetworkFileSystems()
{
    static const QStringList types{QStringLiteral("cifs"),
                                   QStringLiteral("smb3"),
                                   QStringLiteral("smbfs"),
                                   QStringLiteral("nfs"),
                                   QStringLiteral("nfs4"),
                                   QStringLiteral("sshfs"),
                                   QStringLiteral("fuse.sshfs"),
                                   QStringLiteral("ncpfs"),
                                   QStringLiteral("afs"),
                                   QStringLiteral("9p"),
                                   QStringLiteral("ceph"),
                                   QStringLiteral("glusterfs"),
                                   QStringLiteral("fuse.glusterfs"),
                                   QStringLiteral("davfs"),
                                   QStringLiteral("fuse.davfs"),
                                   QStringLiteral("fuse.rclone")};
    return types;
}

bool IsInside(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(WithTrailingSeparator(folder));
}

bool IsInsideAny(const QString& path, const QStringList& folders)
{
    return std::any_of(folders.begin(), folders.end(),
                       [&path](const QString& folder) { return IsInside(path, folder); });
}

// The kernel marks removable disks in sysfs; a partition carries the flag on its parent disk.
bool HasRemovableFlag(const QString& device)
{
    const QString prefix = QStringLiteral("/dev/");
    if (!device.startsWith(prefix))
        return false;
    const QString blockName = QFileInfo(device).canonicalFilePath().mid(prefix.size());
    if (blockName.isEmpty() || blockName.contains(kSeparator))
        return false;
    const QString blockFolder = QFileInfo(QStringLiteral("/sys/class/block/") + blockName).canonicalFilePath();
    if (blockFolder.isEmpty())
        return false;
    for (const QString& flagPath :
         {blockFolder + QStringLiteral("/removable"), QFileInfo(blockFolder).path() + QStringLiteral("/removable")}) {
        QFile flag(flagPath);
        if (flag.open(QIODevice::ReadOnly))
            return flag.readAll().trimmed() == "1";
    }
    return false;
}

// The server part of a network source: "//server/share", "server:/export", "user@server:/path",
// "[::1]:/export".
QString ServerOf(const QString& device)
{
    QString rest = device;
    while (rest.startsWith(kSeparator) || rest.startsWith(QLatin1Char('\\')))
        rest.remove(0, 1);
    QString server;
    if (device.startsWith(QStringLiteral("//")) || device.startsWith(QStringLiteral("\\\\"))) {
        server = rest.section(QRegularExpression(QStringLiteral("[/\\\\]")), 0, 0);
    } else if (rest.startsWith(QLatin1Char('['))) {
        server = rest.section(QLatin1Char(']'), 0, 0).mid(1);
    } else if (rest.contains(kHostSeparator) && !rest.section(kHostSeparator, 0, 0).contains(kSeparator)) {
        server = rest.section(kHostSeparator, 0, 0);
    }
    return server.section(QLatin1Char('@'), -1);
}

QString ServerRemoteName(const QString& server)
{
    return QStringLiteral("//") + server;
}

MountPoint StandInMount(const QString& folder, const QString& kind)
{
    MountPoint mount;
    mount.rootPath = QDir::cleanPath(QDir(folder).absolutePath());
    mount.device = folder;
    mount.fileSystemType = QStringLiteral("ext4");
    if (kind == QLatin1String("removable")) {
        mount.removableDevice = true;
    } else if (kind == QLatin1String("cdrom")) {
        mount.fileSystemType = QStringLiteral("iso9660");
    } else if (kind == QLatin1String("ramdisk")) {
        mount.fileSystemType = QStringLiteral("tmpfs");
    } else if (!kind.isEmpty() && kind != QLatin1String("fixed")) {
        mount.device = kind;
        mount.fileSystemType = kind.startsWith(QStringLiteral("//")) ? QStringLiteral("cifs") : QStringLiteral("nfs");
    }
    return mount;
}
} // namespace

QList<MountPoint> ParseRoots(const QString& text)
{
    QList<MountPoint> mounts;
    for (const QString& entry : text.split(kEntrySeparator, Qt::SkipEmptyParts)) {
        const qsizetype kindAt = entry.indexOf(kKindSeparator);
        const QString folder = kindAt < 0 ? entry : entry.left(kindAt);
        const QString kind = kindAt < 0 ? QString() : entry.mid(kindAt + 1).trimmed();
        if (folder.isEmpty() || !QFileInfo(folder).isDir())
            continue;
        mounts.append(StandInMount(folder, kind));
    }
    return mounts;
}

QList<MountPoint> MountPoints()
{
    if (qEnvironmentVariableIsSet(kRootsVariable))
        return ParseRoots(qEnvironmentVariable(kRootsVariable));

    QList<MountPoint> mounts;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        const QString type = QString::fromUtf8(volume.fileSystemType());
        const bool isTop = root == QString(kSeparator);
        if (!isTop && (PseudoFileSystems().contains(type) || !QFileInfo(root).isDir()))
            continue;
        if (!isTop && IsInsideAny(root, SystemMountFolders()) && !IsInsideAny(root, RemovableMediaFolders()))
            continue;
        MountPoint mount;
        mount.rootPath = root;
        mount.device = QString::fromUtf8(volume.device());
        mount.fileSystemType = type;
        mount.removableDevice = HasRemovableFlag(mount.device);
        mounts.append(mount);
    }
    MountPoint home;
    home.rootPath = QDir::homePath();
    // The home folder is listed by its path, never as a share of the server it may live on.
    home.device = home.rootPath;
    home.fileSystemType = QString::fromUtf8(QStorageInfo(home.rootPath).fileSystemType());
    mounts.append(home);
    return mounts;
}

bool IsNetworkFileSystem(const QString& fileSystemType)
{
    return NetworkFileSystems().contains(fileSystemType);
}

DriveType TypeOf(const MountPoint& mount)
{
    if (IsNetworkFileSystem(mount.fileSystemType))
        return DriveType::Remote;
    if (mount.fileSystemType == QLatin1String("iso9660") || mount.fileSystemType == QLatin1String("udf"))
        return DriveType::CdRom;
    if (mount.fileSystemType == QLatin1String("tmpfs") || mount.fileSystemType == QLatin1String("ramfs"))
        return DriveType::RamDisk;
    if (mount.removableDevice || IsInsideAny(mount.rootPath, RemovableMediaFolders()))
        return DriveType::Removable;
    return DriveType::Fixed;
}

const MountPoint* MountOf(const QList<MountPoint>& mounts, const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    const QString absolute = canonical.isEmpty() ? info.absoluteFilePath() : canonical;
    const MountPoint* best = nullptr;
    for (const MountPoint& mount : mounts) {
        const QString root = QDir::cleanPath(mount.rootPath);
        if (IsInside(absolute, root) && (!best || root.size() > QDir::cleanPath(best->rootPath).size()))
            best = &mount;
    }
    return best;
}

bool IsOnRemovableVolume(const QString& path)
{
    const QList<MountPoint> mounts = MountPoints();
    const MountPoint* mount = MountOf(mounts, path);
    return mount && TypeOf(*mount) == DriveType::Removable;
}

QList<Drive> Drives(const QList<MountPoint>& mounts)
{
    const QString top(kSeparator);
    const QString home = QDir::homePath();
    auto rank = [&](const Drive& drive) {
        const QString root = QDir::cleanPath(drive.rootPath);
        return root == top ? 0 : root == home ? 1 : 2;
    };

    QList<Drive> drives;
    for (const MountPoint& mount : mounts) {
        Drive drive{WithTrailingSeparator(mount.rootPath), TypeOf(mount)};
        const bool known = std::any_of(drives.begin(), drives.end(),
                                       [&drive](const Drive& other) { return other.rootPath == drive.rootPath; });
        if (!known)
            drives.append(drive);
    }
    std::stable_sort(drives.begin(), drives.end(), [&](const Drive& a, const Drive& b) {
        if (rank(a) != rank(b))
            return rank(a) < rank(b);
        return a.rootPath < b.rootPath;
    });
    return drives;
}

QList<NetworkResource> NetworkServers(const QList<MountPoint>& mounts)
{
    QStringList servers;
    for (const MountPoint& mount : mounts) {
        const QString server = ServerOf(mount.device);
        if (IsNetworkFileSystem(mount.fileSystemType) && !server.isEmpty() && !servers.contains(server))
            servers.append(server);
    }
    servers.sort(Qt::CaseInsensitive);

    QList<NetworkResource> resources;
    for (const QString& server : servers) {
        NetworkResource resource;
        resource.displayType = NetworkDisplayType::Server;
        resource.usage = NetworkResource::kUsageContainer;
        resource.remoteName = ServerRemoteName(server);
        resources.append(resource);
    }
    return resources;
}

QList<NetworkResource> NetworkShares(const QList<MountPoint>& mounts, const NetworkResource& server)
{
    QList<NetworkResource> shares;
    for (const MountPoint& mount : mounts) {
        if (!IsNetworkFileSystem(mount.fileSystemType) || ServerRemoteName(ServerOf(mount.device)) != server.remoteName)
            continue;
        NetworkResource share;
        share.displayType = NetworkDisplayType::Share;
        share.usage = NetworkResource::kUsageConnectable;
        share.localName = WithTrailingSeparator(mount.rootPath);
        share.remoteName = mount.device;
        share.provider = mount.fileSystemType;
        shares.append(share);
    }
    return shares;
}

QString NetworkLabel(const NetworkResource& resource)
{
    QString label = resource.remoteName.isEmpty() ? resource.comment : resource.remoteName;
    for (int dropped = 0; dropped < 2 && (label.startsWith(kSeparator) || label.startsWith(QLatin1Char('\\')));
         ++dropped)
        label.remove(0, 1);
    if (resource.displayType == NetworkDisplayType::Share) {
        const qsizetype separatorAt = label.indexOf(QRegularExpression(QStringLiteral("[/\\\\]")));
        if (separatorAt >= 0 && separatorAt + 1 < label.size())
            label = label.mid(separatorAt + 1);
    }
    return label;
}

QStringList SubfolderNames(const QString& folder)
{
    return QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
}

QString WithTrailingSeparator(const QString& path)
{
    return path.endsWith(kSeparator) ? path : path + kSeparator;
}

QString DisplayLabel(const QString& name)
{
    const bool hasLowerCase =
        std::any_of(name.begin(), name.end(), [](QChar c) { return c >= QLatin1Char('a') && c <= QLatin1Char('z'); });
    if (hasLowerCase || name.isEmpty())
        return name;
    return name.left(1).toUpper() + name.mid(1).toLower();
}
} // namespace Volumes

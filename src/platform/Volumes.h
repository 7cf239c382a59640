#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The volumes, network mounts and folders Sorvane's folder pickers and the player transfer walk.
// Every folder path handed out ends with a separator.
namespace Volumes
{
// Environment variable with the roots to use instead of the machine's mounts (tests stand folders
// in for drives with it): entries separated by ';', each a folder optionally followed by '=' and a
// kind: "fixed", "removable", "cdrom", "ramdisk", or a network source such as "//server/share" or
// "host:/export".
constexpr const char* kRootsVariable = "SORVANE_VOLUME_ROOTS";

// The numbers the image strip of the folder browser is indexed by.
enum class DriveType
{
    Unknown = 0,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5,
    RamDisk = 6,
};

struct MountPoint
{
    QString rootPath;
    // "/dev/sdb1", "//server/share", "host:/export" ...
    QString device;
    QString fileSystemType;
    bool removableDevice = false;
};

struct Drive
{
    // The mount point, ending with a separator.
    QString rootPath;
    DriveType type = DriveType::Fixed;
};

// Display types of network resources; a container's image is the network root's plus this.
enum class NetworkDisplayType
{
    Generic = 0,
    Domain = 1,
    Server = 2,
    Share = 3,
};

struct NetworkResource
{
    static constexpr int kScopeGlobalNet = 2;
    static constexpr int kTypeDisk = 1;
    static constexpr int kUsageConnectable = 1;
    static constexpr int kUsageContainer = 2;

    int scope = kScopeGlobalNet;
    int type = kTypeDisk;
    NetworkDisplayType displayType = NetworkDisplayType::Generic;
    int usage = kUsageContainer;
    // For a share: the folder it is mounted on, ending with a separator.
    QString localName;
    // "//server" for a server, "//server/share" or "server:/export" for a share.
    QString remoteName;
    QString comment;
    // The file system type the share is mounted with.
    QString provider;
};

// The machine's mounts (or the stand-ins of kRootsVariable): "/", the home folder and every mount
// point of a real file system, without the kernel's pseudo file systems.
QList<MountPoint> MountPoints();
// The stand-ins of a kRootsVariable text; folders that do not exist are left out.
QList<MountPoint> ParseRoots(const QString& text);

// "/" first, then the home folder, then the other mounts by path; each root once.
QList<Drive> Drives(const QList<MountPoint>& mounts);
DriveType TypeOf(const MountPoint& mount);
// The mount that holds path (the one with the longest root above it), or none.
const MountPoint* MountOf(const QList<MountPoint>& mounts, const QString& path);
// True when path lies on a removable volume (a player, a memory card) of MountPoints().
bool IsOnRemovableVolume(const QString& path);
bool IsNetworkFileSystem(const QString& fileSystemType);

// The servers of the mounted network file systems, by name, as network containers.
QList<NetworkResource> NetworkServers(const QList<MountPoint>& mounts);
// The shares of one server, in mount order.
QList<NetworkResource> NetworkShares(const QList<MountPoint>& mounts, const NetworkResource& server);
// A network name as a tree label: leading separators dropped; for a share only the part after the
// server.
QString NetworkLabel(const NetworkResource& resource);

// The names of the folders directly inside `folder`, by name ignoring case; empty when unreadable.
QStringList SubfolderNames(const QString& folder);
// `path` with a separator at its end.
QString WithTrailingSeparator(const QString& path);
// A name without any lower-case letter a-z shown in lower case with a capital first character
// ("WINDOWS" -> "Windows"); other names unchanged.
QString DisplayLabel(const QString& name);
} // namespace Volumes

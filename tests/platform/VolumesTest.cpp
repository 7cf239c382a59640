#include "platform/Volumes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{
Volumes::MountPoint Mount(const QString& root, const QString& device, const QString& type)
{
    Volumes::MountPoint mount;
    mount.rootPath = root;
    mount.device = device;
    mount.fileSystemType = type;
    return mount;
}
} // namespace

TEST(VolumesTest, StandInRootsBecomeDrivesWithTheirTypes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fixed = dir.filePath(QStringLiteral("fixed"));
    const QString player = dir.filePath(QStringLiteral("player"));
    const QString share = dir.filePath(QStringLiteral("share"));
    for (const QString& folder : {fixed, player, share})
        ASSERT_TRUE(QDir().mkpath(folder));

    const QString text = fixed + QStringLiteral(";") + player + QStringLiteral("=removable;") + share +
                         QStringLiteral("=//nas/music;") + dir.filePath(QStringLiteral("missing")) +
                         QStringLiteral(";") + fixed + QStringLiteral("/");
    qputenv(Volumes::kRootsVariable, text.toUtf8());
    const QList<Volumes::Drive> drives = Volumes::Drives(Volumes::MountPoints());
    qunsetenv(Volumes::kRootsVariable);

    // The missing folder is left out, the repeated one listed once, every root ends with '/'.
    ASSERT_EQ(drives.size(), 3);
    EXPECT_EQ(drives[0].rootPath, fixed + QStringLiteral("/"));
    EXPECT_EQ(drives[0].type, Volumes::DriveType::Fixed);
    EXPECT_EQ(drives[1].rootPath, player + QStringLiteral("/"));
    EXPECT_EQ(drives[1].type, Volumes::DriveType::Removable);
    EXPECT_EQ(drives[2].type, Volumes::DriveType::Remote);
}

TEST(VolumesTest, DriveTypesAndOrderOfSystemMounts)
{
    const QList<Volumes::Drive> drives = Volumes::Drives({
        Mount(QStringLiteral("/srv/data"), QStringLiteral("/dev/sdc1"), QStringLiteral("ext4")),
        Mount(QStringLiteral("/media/ann/STICK"), QStringLiteral("/dev/sdb1"), QStringLiteral("vfat")),
        Mount(QStringLiteral("/mnt/cd"), QStringLiteral("/dev/sr0"), QStringLiteral("iso9660")),
        Mount(QStringLiteral("/mnt/ram"), QStringLiteral("tmpfs"), QStringLiteral("tmpfs")),
        Mount(QStringLiteral("/"), QStringLiteral("/dev/sda1"), QStringLiteral("ext4")),
    });
    ASSERT_EQ(drives.size(), 5);
    EXPECT_EQ(drives[0].rootPath, QStringLiteral("/"));
    EXPECT_EQ(drives[1].rootPath, QStringLiteral("/media/ann/STICK/"));
    EXPECT_EQ(drives[1].type, Volumes::DriveType::Removable);
    EXPECT_EQ(drives[2].type, Volumes::DriveType::CdRom);
    EXPECT_EQ(drives[3].type, Volumes::DriveType::RamDisk);
    EXPECT_EQ(drives[4].type, Volumes::DriveType::Fixed);
}

TEST(VolumesTest, NetworkMountsAreGroupedByServer)
{
    const QList<Volumes::MountPoint> mounts{
        Mount(QStringLiteral("/mnt/music"), QStringLiteral("//nas/music"), QStringLiteral("cifs")),
        Mount(QStringLiteral("/mnt/audio"), QStringLiteral("nas:/export/audio"), QStringLiteral("nfs4")),
        Mount(QStringLiteral("/mnt/box"), QStringLiteral("ann@Box:/home/ann"), QStringLiteral("fuse.sshfs")),
        Mount(QStringLiteral("/mnt/usb"), QStringLiteral("/dev/sdb1"), QStringLiteral("vfat")),
    };
    const QList<Volumes::NetworkResource> servers = Volumes::NetworkServers(mounts);
    ASSERT_EQ(servers.size(), 2);
    EXPECT_EQ(servers[0].remoteName, QStringLiteral("//Box"));
    EXPECT_EQ(servers[1].remoteName, QStringLiteral("//nas"));
    EXPECT_EQ(servers[1].displayType, Volumes::NetworkDisplayType::Server);
    EXPECT_EQ(Volumes::NetworkLabel(servers[1]), QStringLiteral("nas"));

    const QList<Volumes::NetworkResource> shares = Volumes::NetworkShares(mounts, servers[1]);
    ASSERT_EQ(shares.size(), 2);
    EXPECT_EQ(shares[0].displayType, Volumes::NetworkDisplayType::Share);
    EXPECT_EQ(shares[0].localName, QStringLiteral("/mnt/music/"));
    EXPECT_EQ(Volumes::NetworkLabel(shares[0]), QStringLiteral("music"));
    EXPECT_EQ(Volumes::NetworkLabel(shares[1]), QStringLiteral("export/audio"));
}

TEST(VolumesTest, LabelsAndFolderListing)
{
    EXPECT_EQ(Volumes::DisplayLabel(QStringLiteral("WINDOWS")), QStringLiteral("Windows"));
    EXPECT_EQ(Volumes::DisplayLabel(QStringLiteral("MP3_2024")), QStringLiteral("Mp3_2024"));
    EXPECT_EQ(Volumes::DisplayLabel(QStringLiteral("McDATA")), QStringLiteral("McDATA"));
    EXPECT_EQ(Volumes::DisplayLabel(QString()), QString());

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const char* name : {"beta", "Alpha", "gamma"})
        ASSERT_TRUE(QDir(dir.path()).mkdir(QString::fromLatin1(name)));
    QFile file(dir.filePath(QStringLiteral("aardvark.mp3")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    EXPECT_EQ(Volumes::SubfolderNames(dir.path() + QStringLiteral("/")),
              (QStringList{QStringLiteral("Alpha"), QStringLiteral("beta"), QStringLiteral("gamma")}));
    EXPECT_TRUE(Volumes::SubfolderNames(dir.filePath(QStringLiteral("missing/"))).isEmpty());
}

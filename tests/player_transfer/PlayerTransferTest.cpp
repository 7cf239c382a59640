#include "player_transfer/PlayerTransfer.h"

#include "platform/FileLock.h"
#include "platform/Volumes.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace
{
constexpr const char* kSharedMemoryFolder = "/dev/shm";

// Stands folders in for the machine's volumes while it lives.
class CScopedVolumeRoots
{
public:
    explicit CScopedVolumeRoots(const QString& roots)
        : m_previous(qgetenv(Volumes::kRootsVariable))
        , m_wasSet(qEnvironmentVariableIsSet(Volumes::kRootsVariable))
    {
        qputenv(Volumes::kRootsVariable, roots.toUtf8());
    }
    ~CScopedVolumeRoots()
    {
        if (m_wasSet)
            qputenv(Volumes::kRootsVariable, m_previous);
        else
            qunsetenv(Volumes::kRootsVariable);
    }
    CScopedVolumeRoots(const CScopedVolumeRoots&) = delete;
    CScopedVolumeRoots& operator=(const CScopedVolumeRoots&) = delete;

private:
    QByteArray m_previous;
    bool m_wasSet;
};

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    return TestSupport::WriteAll(path, bytes);
}

QStringList UnsortedNames(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted);
}

// How the folder's file system lists entries: in creation order, newest first, or by hash.
enum class ListingOrder
{
    Creation,
    NewestFirst,
    Other,
};

ListingOrder ProbeListingOrder(const QString& parent)
{
    QTemporaryDir probe(parent + QStringLiteral("/probe-XXXXXX"));
    const QStringList names{QStringLiteral("z"), QStringLiteral("a"), QStringLiteral("m"), QStringLiteral("b")};
    for (const QString& name : names)
        WriteFile(probe.filePath(name), "x");
    const QStringList listed = UnsortedNames(probe.path());
    if (listed == names)
        return ListingOrder::Creation;
    QStringList reversed(names.rbegin(), names.rend());
    return listed == reversed ? ListingOrder::NewestFirst : ListingOrder::Other;
}

QString TemporaryParent()
{
    // tmpfs lists in a known order; most disk file systems list by hash.
    return QFileInfo(QString::fromLatin1(kSharedMemoryFolder)).isWritable() ? QString::fromLatin1(kSharedMemoryFolder)
                                                                            : QDir::tempPath();
}
} // namespace

TEST(PlayerTransferTest, FindsPlayerAndItsMp3FilesInPlainFolders)
{
    QTemporaryDir player;
    QTemporaryDir disk;
    ASSERT_TRUE(WriteFile(player.filePath(QStringLiteral("Song.MP3")), "1"));
    ASSERT_TRUE(WriteFile(player.filePath(QStringLiteral("notes.txt")), "2"));
    ASSERT_TRUE(WriteFile(player.filePath(QStringLiteral("album/deep/b.mp3")), "3"));
    ASSERT_TRUE(WriteFile(player.filePath(QStringLiteral("locked/c.mp3")), "4"));
    ASSERT_TRUE(WriteFile(player.filePath(QStringLiteral(".hidden/d.mp3")), "5"));
    ASSERT_TRUE(WriteFile(disk.filePath(QStringLiteral("e.mp3")), "6"));
    QFile::setPermissions(player.filePath(QStringLiteral("locked")),
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
    CScopedVolumeRoots roots(player.path() + QStringLiteral("=removable;") + disk.path() + QStringLiteral("=fixed"));

    EXPECT_EQ(PlayerTransfer::ListRemovableDrives(), QStringList{player.path() + QLatin1Char('/')});

    QStringList files;
    ASSERT_TRUE(PlayerTransfer::FindMp3Files(player.path() + QLatin1Char('/'), files));
    files.sort();
    // Names keep their case: lower-casing them would lose the file on a case-sensitive volume.
    EXPECT_EQ(files, (QStringList{player.filePath(QStringLiteral("Song.MP3")),
                                  player.filePath(QStringLiteral("album/deep/b.mp3"))}));
    EXPECT_FALSE(PlayerTransfer::FindMp3Files(player.filePath(QStringLiteral("missing")), files));

    EXPECT_TRUE(PlayerTransfer::CanReorder(files));
    EXPECT_FALSE(PlayerTransfer::CanReorder({disk.filePath(QStringLiteral("e.mp3"))}));
    EXPECT_FALSE(PlayerTransfer::CanReorder({}));
    QFile::setPermissions(player.filePath(QStringLiteral("locked")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST(PlayerTransferTest, ReorderRecreatesEntriesInListOrderAndKeepsOtherVolumesInPlace)
{
    const QString parent = TemporaryParent();
    QTemporaryDir player(parent + QStringLiteral("/player-XXXXXX"));
    QTemporaryDir disk;
    const QString music = player.filePath(QStringLiteral("music"));
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"})
        ASSERT_TRUE(WriteFile(music + QLatin1Char('/') + QLatin1String(name), QByteArray("content of ") + name));
    const QString elsewhere = disk.filePath(QStringLiteral("x.mp3"));
    ASSERT_TRUE(WriteFile(elsewhere, "other volume"));
    CScopedVolumeRoots roots(player.path() + QStringLiteral("=removable;") + disk.path());

    const QStringList wanted{music + QStringLiteral("/c.mp3"), music + QStringLiteral("/a.mp3"),
                             music + QStringLiteral("/b.mp3"), elsewhere};
    int steps = 0;
    PlayerTransfer::ProgressSink progress;
    progress.step = [&steps](int) { ++steps; };
    const PlayerTransfer::ReorderResult result = PlayerTransfer::ReorderOnPlayer(wanted, progress);

    EXPECT_EQ(result.reordered, 3);
    EXPECT_EQ(result.keptInPlace, QStringList{elsewhere});
    EXPECT_TRUE(result.stranded.isEmpty());
    EXPECT_EQ(steps, 2 * wanted.size());
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"})
        EXPECT_EQ(TestSupport::ReadAll(music + QLatin1Char('/') + QLatin1String(name)),
                  QByteArray("content of ") + name);
    EXPECT_EQ(TestSupport::ReadAll(elsewhere), QByteArray("other volume"));
    EXPECT_FALSE(QFileInfo::exists(player.filePath(QLatin1String(PlayerTransfer::kTemporaryFolderName))));

    const QStringList order{QStringLiteral("c.mp3"), QStringLiteral("a.mp3"), QStringLiteral("b.mp3")};
    switch (ProbeListingOrder(parent)) {
    case ListingOrder::Creation:
        EXPECT_EQ(UnsortedNames(music), order);
        break;
    case ListingOrder::NewestFirst:
        EXPECT_EQ(UnsortedNames(music), QStringList(order.rbegin(), order.rend()));
        break;
    case ListingOrder::Other:
        break;
    }
}

// A file another task is writing stays where it is: moved out, it could not come back once
// that task put its new file at the path.
TEST(PlayerTransferTest, ReorderLeavesAFileBeingWrittenInPlace)
{
    const QString parent = TemporaryParent();
    QTemporaryDir player(parent + QStringLiteral("/player-XXXXXX"));
    const QString a = player.filePath(QStringLiteral("a.mp3"));
    const QString b = player.filePath(QStringLiteral("b.mp3"));
    ASSERT_TRUE(WriteFile(a, "a"));
    ASSERT_TRUE(WriteFile(b, "b"));
    CScopedVolumeRoots roots(player.path() + QStringLiteral("=removable"));
    CFileLock reencode;
    ASSERT_EQ(reencode.Acquire(b, CFileLock::Mode::Exclusive), CFileLock::Result::Locked);

    const PlayerTransfer::ReorderResult result = PlayerTransfer::ReorderOnPlayer({b, a});
    EXPECT_EQ(result.reordered, 1);
    EXPECT_EQ(result.keptInPlace, QStringList{b});
    EXPECT_EQ(TestSupport::ReadAll(a), QByteArray("a"));
    EXPECT_EQ(TestSupport::ReadAll(b), QByteArray("b"));
    EXPECT_FALSE(QFileInfo::exists(player.filePath(QLatin1String(PlayerTransfer::kTemporaryFolderName))));
}

TEST(PlayerTransferTest, ReorderNeverOverwritesAndLeavesUnreturnedFilesReachable)
{
    QTemporaryDir player;
    CScopedVolumeRoots roots(player.path() + QStringLiteral("=removable"));
    const QString temporary = player.filePath(QLatin1String(PlayerTransfer::kTemporaryFolderName));
    // Left over from an earlier run: must survive, and must never be moved over a listed file.
    ASSERT_TRUE(WriteFile(temporary + QStringLiteral("/0"), "left over"));
    const QString a = player.filePath(QStringLiteral("a.mp3"));
    const QString b = player.filePath(QStringLiteral("b.mp3"));
    const QString c = player.filePath(QStringLiteral("c.mp3"));
    ASSERT_TRUE(WriteFile(a, "a"));
    ASSERT_TRUE(WriteFile(b, "b"));
    ASSERT_TRUE(WriteFile(c, "c"));

    // Something takes b's name while b is out in the temporary folder.
    PlayerTransfer::ProgressSink progress;
    bool taken = false;
    progress.step = [&](int index) {
        if (index == 2 && !taken)
            taken = WriteFile(b, "newcomer");
    };
    const PlayerTransfer::ReorderResult result = PlayerTransfer::ReorderOnPlayer({a, b, c}, progress);

    EXPECT_EQ(result.keptInPlace, QStringList{a});
    EXPECT_EQ(result.reordered, 1);
    ASSERT_EQ(result.stranded.size(), 1);
    EXPECT_EQ(result.stranded.first().first, b);
    EXPECT_EQ(TestSupport::ReadAll(result.stranded.first().second), QByteArray("b"));
    EXPECT_EQ(TestSupport::ReadAll(a), QByteArray("a"));
    EXPECT_EQ(TestSupport::ReadAll(b), QByteArray("newcomer"));
    EXPECT_EQ(TestSupport::ReadAll(c), QByteArray("c"));
    EXPECT_EQ(TestSupport::ReadAll(temporary + QStringLiteral("/0")), QByteArray("left over"));
}

namespace
{
// A FAT image mounted through FUSE, unmounted when it goes.
class CMountedFatImage
{
public:
    explicit CMountedFatImage(const QString& folder)
        : m_mountPoint(folder + QStringLiteral("/player"))
    {
        const QString image = folder + QStringLiteral("/player.img");
        QDir().mkpath(m_mountPoint);
        if (!QFileInfo::exists(QStringLiteral("/dev/fuse")) ||
            !TestSupport::ToolAvailable(QStringLiteral("mkfs.vfat")) ||
            !TestSupport::ToolAvailable(QStringLiteral("fusefat")))
            return;
        if (TestSupport::RunTool(QStringLiteral("mkfs.vfat"), {QStringLiteral("-C"), image, kImageKilobytes})
                .exitCode != 0)
            return;
        m_mounted = TestSupport::RunTool(QStringLiteral("fusefat"),
                                         {QStringLiteral("-o"), QStringLiteral("rw+"), image, m_mountPoint})
                        .exitCode == 0;
    }
    ~CMountedFatImage()
    {
        if (m_mounted)
            TestSupport::RunTool(QStringLiteral("fusermount"), {QStringLiteral("-u"), m_mountPoint});
    }
    CMountedFatImage(const CMountedFatImage&) = delete;
    CMountedFatImage& operator=(const CMountedFatImage&) = delete;

    bool Mounted() const { return m_mounted; }
    const QString& MountPoint() const { return m_mountPoint; }

private:
    inline static const QString kImageKilobytes = QStringLiteral("2048");
    QString m_mountPoint;
    bool m_mounted = false;
};
} // namespace

TEST(PlayerTransferTest, ReorderOnFatVolumeFollowsListOrder)
{
    QTemporaryDir folder;
    CMountedFatImage fat(folder.path());
    if (!fat.Mounted())
        GTEST_SKIP() << "no FUSE or FAT tools here";
    CScopedVolumeRoots roots(fat.MountPoint() + QStringLiteral("=removable"));
    const QString music = fat.MountPoint() + QStringLiteral("/MUSIC");
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"})
        ASSERT_TRUE(WriteFile(music + QLatin1Char('/') + QLatin1String(name), name));

    QStringList found;
    ASSERT_TRUE(PlayerTransfer::FindMp3Files(fat.MountPoint() + QLatin1Char('/'), found));
    ASSERT_EQ(found.size(), 3);
    ASSERT_TRUE(PlayerTransfer::CanReorder(found));
    const QStringList order{QStringLiteral("c.mp3"), QStringLiteral("a.mp3"), QStringLiteral("b.mp3")};
    QStringList wanted;
    for (const QString& name : order)
        wanted.append(music + QLatin1Char('/') + name);

    const PlayerTransfer::ReorderResult result = PlayerTransfer::ReorderOnPlayer(wanted);

    EXPECT_EQ(result.reordered, 3);
    EXPECT_EQ(UnsortedNames(music), order);
    EXPECT_EQ(TestSupport::ReadAll(music + QStringLiteral("/a.mp3")), QByteArray("a.mp3"));
    EXPECT_EQ(UnsortedNames(fat.MountPoint()), QStringList{QStringLiteral("MUSIC")});
}

// The desktop trash as a file manager reads it back: each trashed file under files/ and its
// .trashinfo under info/ naming where it came from and when.
#include "platform/Trash.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
struct TrashEntry
{
    QString originalPath;
    QDateTime deletionDate;
};

// Reads an info file the way a file manager listing the trash does.
std::optional<TrashEntry> ReadInfo(const QString& infoPath)
{
    QFile file(infoPath);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QList<QByteArray> lines = file.readAll().split('\n');
    if (lines.isEmpty() || lines.front() != CTrash::kInfoHeader) {
        return std::nullopt;
    }
    TrashEntry entry;
    for (const QByteArray& line : lines) {
        if (line.startsWith("Path=")) {
            entry.originalPath = QFile::decodeName(QByteArray::fromPercentEncoding(line.mid(5)));
        } else if (line.startsWith("DeletionDate=")) {
            entry.deletionDate =
                QDateTime::fromString(QString::fromLatin1(line.mid(13)), QLatin1String(CTrash::kDeletionDateFormat));
        }
    }
    return entry;
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

int ModeOf(const QString& path)
{
    struct stat info
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

class ScopedVariable
{
public:
    ScopedVariable(const char* name, const QByteArray& value)
        : m_name(name)
        , m_had(qEnvironmentVariableIsSet(name))
        , m_old(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedVariable()
    {
        if (m_had) {
            qputenv(m_name, m_old);
        } else {
            qunsetenv(m_name);
        }
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};

class TrashTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_root.isValid()); }

    QString Root(const QString& name) const { return m_root.filePath(name); }

    QTemporaryDir m_root;
};
} // namespace

TEST_F(TrashTest, HomeTrashHoldsTheBytesAndAnInfoThatNamesTheOriginalPlace)
{
    ScopedVariable dataHome("XDG_DATA_HOME", QFile::encodeName(Root("data")));
    ASSERT_EQ(CTrash::HomeTrashDirectory(), Root("data/Trash"));
    ASSERT_TRUE(QDir().mkpath(Root("music")));
    // A space, a percent sign and a non-ASCII letter must survive the percent-encoding.
    const QString original = Root("music/talk 100% é.mp3");
    Write(original, "first bytes");

    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    const CTrash::Result first = CTrash::MoveToTrash(original);
    ASSERT_TRUE(first.ok) << first.error;
    EXPECT_FALSE(QFileInfo::exists(original));
    EXPECT_EQ(first.trashedPath, Root("data/Trash/files/talk 100% é.mp3"));
    EXPECT_EQ(Contents(first.trashedPath), "first bytes");
    const auto info = ReadInfo(Root("data/Trash/info/talk 100% é.mp3.trashinfo"));
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->originalPath, original);
    ASSERT_TRUE(info->deletionDate.isValid());
    EXPECT_GE(info->deletionDate, before.addSecs(-1));
    EXPECT_EQ(ModeOf(Root("data/Trash")), 0700);

    // A second file of the same name gets a name of its own; the first stays as it was.
    Write(original, "second bytes");
    const CTrash::Result second = CTrash::MoveToTrash(original);
    ASSERT_TRUE(second.ok) << second.error;
    EXPECT_EQ(second.trashedPath, Root("data/Trash/files/talk 100% é.2.mp3"));
    EXPECT_EQ(second.infoPath, Root("data/Trash/info/talk 100% é.2.mp3.trashinfo"));
    EXPECT_EQ(Contents(second.trashedPath), "second bytes");
    EXPECT_EQ(Contents(first.trashedPath), "first bytes");
    EXPECT_EQ(ReadInfo(second.infoPath)->originalPath, original);

    // A file lying in files/ without its info (left by a crash) keeps its name too.
    Write(Root("data/Trash/files/stray"), "stray");
    Write(Root("music/stray"), "new");
    const CTrash::Result stray = CTrash::MoveToTrash(Root("music/stray"));
    ASSERT_TRUE(stray.ok);
    EXPECT_EQ(stray.trashedPath, Root("data/Trash/files/stray.2"));
    EXPECT_EQ(Contents(Root("data/Trash/files/stray")), "stray");
    EXPECT_FALSE(QFileInfo::exists(Root("data/Trash/info/stray.trashinfo")));
}

TEST_F(TrashTest, WithoutAUsableDataHomeTheTrashIsUnderHomeNeverInTheCurrentFolder)
{
    ASSERT_TRUE(QDir().mkpath(Root("cwd")));
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(Root("cwd")));
    ScopedVariable home("HOME", QFile::encodeName(Root("home")));
    ScopedVariable relative("XDG_DATA_HOME", "relative/share");
    Write(Root("cwd/talk.mp3"), "bytes");
    const CTrash::Result result = CTrash::MoveToTrash("talk.mp3");
    QDir::setCurrent(previous);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.trashedPath, Root("home/.local/share/Trash/files/talk.mp3"));
    EXPECT_EQ(ReadInfo(result.infoPath)->originalPath, Root("cwd/talk.mp3"));
    EXPECT_EQ(QDir(Root("cwd")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{});
}

TEST_F(TrashTest, AVolumeUsesAStickyAdminTrashElseATrashOfTheUsersOwn)
{
    const QString uid = QString::number(::getuid());
    Write(Root("a.mp3"), "a");
    // No .Trash at the top: .Trash-UID, private.
    const CTrash::Result own = CTrash::MoveToVolumeTrash(Root("a.mp3"), m_root.path());
    ASSERT_TRUE(own.ok) << own.error;
    EXPECT_EQ(own.trashedPath, Root(".Trash-" + uid + "/files/a.mp3"));
    EXPECT_EQ(ModeOf(Root(".Trash-" + uid)), 0700);
    EXPECT_EQ(ReadInfo(own.infoPath)->originalPath, Root("a.mp3"));

    // A .Trash without the sticky bit, or a link to a sticky one, is not trusted.
    ASSERT_TRUE(QDir().mkpath(Root("elsewhere")));
    ASSERT_EQ(::chmod(QFile::encodeName(Root("elsewhere")).constData(), 01777), 0);
    ASSERT_TRUE(QFile::link(Root("elsewhere"), Root(".Trash")));
    Write(Root("b.mp3"), "b");
    EXPECT_EQ(CTrash::MoveToVolumeTrash(Root("b.mp3"), m_root.path()).trashedPath,
              Root(".Trash-" + uid + "/files/b.mp3"));
    ASSERT_TRUE(QFile::remove(Root(".Trash")));
    ASSERT_TRUE(QDir().mkpath(Root(".Trash")));
    ASSERT_EQ(::chmod(QFile::encodeName(Root(".Trash")).constData(), 0777), 0);
    Write(Root("c.mp3"), "c");
    EXPECT_EQ(CTrash::MoveToVolumeTrash(Root("c.mp3"), m_root.path()).trashedPath,
              Root(".Trash-" + uid + "/files/c.mp3"));

    // With the sticky bit the administrator's trash takes it, in a folder of the user's.
    ASSERT_EQ(::chmod(QFile::encodeName(Root(".Trash")).constData(), 01777), 0);
    Write(Root("d.mp3"), "d");
    const CTrash::Result admin = CTrash::MoveToVolumeTrash(Root("d.mp3"), m_root.path());
    ASSERT_TRUE(admin.ok) << admin.error;
    EXPECT_EQ(admin.trashedPath, Root(".Trash/" + uid + "/files/d.mp3"));
    EXPECT_EQ(Contents(admin.trashedPath), "d");
    EXPECT_EQ(ReadInfo(admin.infoPath)->originalPath, Root("d.mp3"));
}

TEST_F(TrashTest, AFileOnAnotherVolumeGoesToThatVolumesTrashByRename)
{
    // /dev/shm is a memory file system of its own on most machines.
    struct stat shm
    {
    };
    struct stat here
    {
    };
    if (::stat("/dev/shm", &shm) != 0 || ::stat(QFile::encodeName(m_root.path()).constData(), &here) != 0 ||
        shm.st_dev == here.st_dev || ::access("/dev/shm", W_OK) != 0) {
        GTEST_SKIP() << "no second writable volume";
    }
    ScopedVariable dataHome("XDG_DATA_HOME", QFile::encodeName(Root("data")));
    QTemporaryDir other(QStringLiteral("/dev/shm/sorvane-trash-XXXXXX"));
    ASSERT_TRUE(other.isValid());
    EXPECT_EQ(CTrash::TopDirectoryOf(other.filePath("x.mp3")), "/dev/shm");
    Write(other.filePath("x.mp3"), "x");
    const CTrash::Result result = CTrash::MoveToTrash(other.filePath("x.mp3"));
    ASSERT_TRUE(result.ok) << result.error;
    const QString volumeTrash = "/dev/shm/.Trash-" + QString::number(::getuid());
    EXPECT_TRUE(result.trashedPath.startsWith(volumeTrash + "/files/x")) << result.trashedPath.toStdString();
    EXPECT_EQ(Contents(result.trashedPath), "x");
    EXPECT_EQ(ReadInfo(result.infoPath)->originalPath, other.filePath("x.mp3"));
    EXPECT_FALSE(QFileInfo::exists(Root("data/Trash"))) << "the home trash is on another volume";

    // Leave /dev/shm as it was found: only what this test put there goes.
    QFile::remove(result.trashedPath);
    QFile::remove(result.infoPath);
    for (const QString& folder : {volumeTrash + "/files", volumeTrash + "/info", volumeTrash}) {
        ::rmdir(QFile::encodeName(folder).constData());
    }
}

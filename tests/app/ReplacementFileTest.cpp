// Replacement files and the output rule, on unnamed temporaries and on the named ones of file
// systems without them.
#include "platform/ReplacementFile.h"

#include "app/OutputTarget.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace TestSupport;

namespace
{
struct stat StatOf(const QString& path)
{
    struct stat info
    {
    };
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info;
}

// Runs every case once with unnamed temporaries and once with named ones.
class ReplacementFileTest : public ::testing::TestWithParam<bool>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        CReplacementFile::SetUnnamedTemporariesAllowed(GetParam());
    }
    void TearDown() override { CReplacementFile::SetUnnamedTemporariesAllowed(true); }

    QString Path(const QString& name) const { return m_dir.filePath(name); }
    QStringList Files() const
    {
        return QDir(m_dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
    // Builds a replacement of target with bytes and commits it.
    static bool Write(const QString& target, CReplacementFile::Mode mode, const QByteArray& bytes)
    {
        CReplacementFile file(target, mode);
        return file.Create() && WriteAll(file.TemporaryPath(), bytes) && file.Commit();
    }

    QTemporaryDir m_dir;
};
} // namespace

TEST_P(ReplacementFileTest, NewFilesNeverTakeANameThatIsTakenAndReplacementsOnlyReplaceRegularFiles)
{
    const QString song = Path(QStringLiteral("song.mp3"));
    ASSERT_TRUE(Write(song, CReplacementFile::Mode::CreateNew, "first"));
    EXPECT_EQ(ReadAll(song), QByteArray("first"));
    EXPECT_FALSE(Write(song, CReplacementFile::Mode::CreateNew, "second"));
    EXPECT_EQ(ReadAll(song), QByteArray("first"));
    ASSERT_TRUE(Write(song, CReplacementFile::Mode::Replace, "third"));
    EXPECT_EQ(ReadAll(song), QByteArray("third"));

    const QString fifo = Path(QStringLiteral("pipe"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(Write(fifo, CReplacementFile::Mode::Replace, "never"));
    EXPECT_TRUE(S_ISFIFO(StatOf(fifo).st_mode));

    // Through a link the target gets the content and the link stays.
    const QString link = Path(QStringLiteral("link.mp3"));
    ASSERT_TRUE(QFile::link(song, link));
    ASSERT_TRUE(Write(link, CReplacementFile::Mode::Replace, "fourth"));
    EXPECT_TRUE(S_ISLNK(StatOf(link).st_mode));
    EXPECT_EQ(ReadAll(song), QByteArray("fourth"));

    // An abandoned replacement leaves nothing behind.
    {
        CReplacementFile dropped(Path(QStringLiteral("dropped.mp3")));
        ASSERT_TRUE(dropped.Create());
        ASSERT_TRUE(WriteAll(dropped.TemporaryPath(), "half"));
    }
    EXPECT_EQ(Files(), QStringList({QStringLiteral("link.mp3"), QStringLiteral("pipe"), QStringLiteral("song.mp3")}));
}

TEST_P(ReplacementFileTest, RewritingInPlaceKeepsHardLinksOwnerAndMode)
{
    const QString song = Path(QStringLiteral("song.mp3"));
    const QString other = Path(QStringLiteral("other name.mp3"));
    ASSERT_TRUE(WriteAll(song, "old content, longer than the new"));
    ASSERT_EQ(::link(QFile::encodeName(song).constData(), QFile::encodeName(other).constData()), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(song).constData(), 0640), 0);
    const struct stat before = StatOf(song);

    ASSERT_TRUE(Write(song, CReplacementFile::Mode::RewriteInPlace, "new"));
    const struct stat after = StatOf(song);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadAll(other), QByteArray("new"));

    // A single link is renamed over, with the owner, group and mode carried across.
    ASSERT_TRUE(QFile::remove(other));
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(song).constData(), 1234, 4321), 0);
    }
    const struct stat single = StatOf(song);
    ASSERT_TRUE(Write(song, CReplacementFile::Mode::RewriteInPlace, "newer"));
    const struct stat renamed = StatOf(song);
    EXPECT_EQ(ReadAll(song), QByteArray("newer"));
    EXPECT_EQ(renamed.st_uid, single.st_uid);
    EXPECT_EQ(renamed.st_gid, single.st_gid);
    EXPECT_EQ(renamed.st_mode & 07777, 0640u);
    EXPECT_EQ(Files(), QStringList{QStringLiteral("song.mp3")});
}

TEST_P(ReplacementFileTest, TemporaryNamesStayShortAndThoseOfDeadRunsAreSwept)
{
    // A name as long as the file system allows still gets a temporary beside it.
    const QString longName = Path(QString(251, QLatin1Char('x')) + QStringLiteral(".mp3"));
    ASSERT_TRUE(Write(longName, CReplacementFile::Mode::CreateNew, "long"));
    EXPECT_EQ(ReadAll(longName), QByteArray("long"));

    // The number of a process that has ended.
    const pid_t deadPid = ::fork();
    if (deadPid == 0) {
        ::_exit(0);
    }
    ASSERT_GT(deadPid, 0);
    ASSERT_EQ(::waitpid(deadPid, nullptr, 0), deadPid);
    const QString dead = Path(QStringLiteral(".sorvane-%1-0a1b2c.tmp").arg(deadPid));
    const QString alive = Path(QStringLiteral(".sorvane-%1-0a1b2c.tmp").arg(::getppid()));
    const QString foreign = Path(QStringLiteral(".song.mp3.1234abcd.part"));
    for (const QString& path : {dead, alive, foreign}) {
        ASSERT_TRUE(WriteAll(path, "left over"));
    }
    EXPECT_EQ(CReplacementFile::SweepStaleTemporaries(m_dir.path()), 1);
    EXPECT_FALSE(QFileInfo::exists(dead));
    EXPECT_TRUE(QFileInfo::exists(alive));
    EXPECT_TRUE(QFileInfo::exists(foreign));
}

INSTANTIATE_TEST_SUITE_P(UnnamedAndNamed, ReplacementFileTest, ::testing::Bool());

TEST(OutputTargetTest, OnlyNewNamesAndAgreedRegularFilesMayBeWritten)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString input = dir.filePath(QStringLiteral("in.mp3"));
    const QString hardLink = dir.filePath(QStringLiteral("same.mp3"));
    const QString fifo = dir.filePath(QStringLiteral("pipe"));
    const QString dangling = dir.filePath(QStringLiteral("nowhere.mp3"));
    ASSERT_TRUE(WriteAll(input, "sound"));
    ASSERT_EQ(::link(QFile::encodeName(input).constData(), QFile::encodeName(hardLink).constData()), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("missing")), dangling));

    using Verdict = COutputTarget::Verdict;
    EXPECT_EQ(COutputTarget::Examine(dir.filePath(QStringLiteral("new.mp3"))), Verdict::New);
    EXPECT_EQ(COutputTarget::Examine(input), Verdict::ExistingFile);
    EXPECT_EQ(COutputTarget::Examine(hardLink, {input}), Verdict::IsAnInput);
    EXPECT_EQ(COutputTarget::Examine(fifo), Verdict::NotRegular);
    EXPECT_EQ(COutputTarget::Examine(dir.path()), Verdict::NotRegular);
    EXPECT_EQ(COutputTarget::Examine(dangling), Verdict::DanglingLink);

    EXPECT_TRUE(COutputTarget::Refusal(input, true).isEmpty());
    EXPECT_FALSE(COutputTarget::Refusal(input, false).isEmpty());
    EXPECT_FALSE(COutputTarget::Refusal(fifo, true).isEmpty());
    EXPECT_TRUE(COutputTarget::Refusal(hardLink, true, {input}).contains(hardLink));
}

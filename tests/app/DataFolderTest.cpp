#include "app/DataFolder.h"

#include "AppTestHelpers.h"
#include "platform/ExecutableDirectory.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using AppTestHelpers::ScopedEnvironment;

namespace
{
class DataFolderTest : public AppTestHelpers::PrivateFoldersTest
{
protected:
    void SetUp() override
    {
        PrivateFoldersTest::SetUp();
        // A regular file: no "Data" folder can ever be created inside it, not even by root.
        ASSERT_TRUE(TestSupport::WriteAll(UnusableExecutableDirectory(), "x"));
    }
    QString UnusableExecutableDirectory() const { return m_root.path() + QStringLiteral("/not-a-folder"); }

    ScopedEnvironment m_noOverride{"SORVANE_DATA_DIR", std::nullopt};
};
} // namespace

TEST_F(DataFolderTest, ExecutableDirectoryIsTheRunningProgramsFolder)
{
    const QString directory = ExecutableDirectory();
    const QFileInfo self(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")));
    EXPECT_EQ(directory, self.absolutePath());
    EXPECT_FALSE(directory.endsWith(QLatin1Char('/')));
    EXPECT_TRUE(QFileInfo::exists(directory + QLatin1Char('/') + self.fileName()));
}

TEST_F(DataFolderTest, OverrideVariableWinsOverEverything)
{
    const QString chosen = m_root.path() + QStringLiteral("/chosen/");
    ScopedEnvironment overrideDir("SORVANE_DATA_DIR", chosen);
    EXPECT_EQ(CDataFolder::Path(), m_root.path() + QStringLiteral("/chosen"));
    EXPECT_EQ(CDataFolder::PathFor(UnusableExecutableDirectory()), m_root.path() + QStringLiteral("/chosen"));
    EXPECT_EQ(CDataFolder::FilePath(QStringLiteral("OpenDir.dat")),
              m_root.path() + QStringLiteral("/chosen/OpenDir.dat"));
    // Resolving the path does not create the overriding folder; saving does.
    EXPECT_FALSE(QFileInfo::exists(chosen));
}

TEST_F(DataFolderTest, DataBesideTheExecutableWhenItCanBeUsed)
{
    const QString executableDirectory = m_root.path() + QStringLiteral("/bin");
    ASSERT_TRUE(QDir().mkpath(executableDirectory));
    EXPECT_EQ(CDataFolder::PathFor(executableDirectory), executableDirectory + QStringLiteral("/Data"));
    EXPECT_TRUE(QFileInfo(executableDirectory + QStringLiteral("/Data")).isDir());
    // An existing folder is used as it is.
    EXPECT_EQ(CDataFolder::PathFor(executableDirectory), executableDirectory + QStringLiteral("/Data"));
}

TEST_F(DataFolderTest, FallsBackToTheUsersConfigFolder)
{
    EXPECT_EQ(CDataFolder::PathFor(UnusableExecutableDirectory()),
              m_root.path() + QStringLiteral("/config/sorvane/Data"));
    {
        ScopedEnvironment unset("XDG_CONFIG_HOME", std::nullopt);
        EXPECT_EQ(CDataFolder::PathFor(UnusableExecutableDirectory()),
                  Home() + QStringLiteral("/.config/sorvane/Data"));
    }
    {
        ScopedEnvironment relative("XDG_CONFIG_HOME", QStringLiteral("relative/config"));
        EXPECT_EQ(CDataFolder::PathFor(UnusableExecutableDirectory()),
                  Home() + QStringLiteral("/.config/sorvane/Data"));
    }
    EXPECT_EQ(CDataFolder::PathFor(QString()), m_root.path() + QStringLiteral("/config/sorvane/Data"));
}

TEST_F(DataFolderTest, UserDefaultFolderIsMusicOrHome)
{
    EXPECT_EQ(CDataFolder::UserDefaultFolder(), Home() + QLatin1Char('/'));
    ASSERT_TRUE(QDir().mkpath(Home() + QStringLiteral("/Music")));
    EXPECT_EQ(CDataFolder::UserDefaultFolder(), Home() + QStringLiteral("/Music/"));
}

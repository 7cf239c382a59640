#include "app/DataFileStore.h"

#include "AppTestHelpers.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using AppTestHelpers::ByteBuilder;

namespace
{
class DataFileStoreTest : public AppTestHelpers::PrivateFoldersTest
{
protected:
    QString DatPath(const QString& key) const { return DataFolder() + QLatin1Char('/') + key + QStringLiteral(".dat"); }
    void WriteDat(const QString& key, const QByteArray& bytes)
    {
        ASSERT_TRUE(QDir().mkpath(DataFolder()));
        ASSERT_TRUE(TestSupport::WriteAll(DatPath(key), bytes));
    }
};
} // namespace

TEST_F(DataFileStoreTest, PayloadRoundTripsInTheLengthPrefixedLayout)
{
    const QString key = QString::fromLatin1(DataFileStore::kOpenDirKey);
    ASSERT_TRUE(DataFileStore::SaveDataFile(key, QByteArray("ab\0c", 4)));
    EXPECT_EQ(TestSupport::ReadAll(DatPath(key)), QByteArray("\x04\x00\x00\x00"
                                                             "ab\0c",
                                                             8));
    EXPECT_EQ(DataFileStore::LoadDataFile(key), QByteArray("ab\0c", 4));

    ASSERT_TRUE(DataFileStore::SaveDataFile(key, QByteArray()));
    EXPECT_EQ(TestSupport::ReadAll(DatPath(key)), QByteArray("\x00\x00\x00\x00", 4));
    EXPECT_EQ(DataFileStore::LoadDataFile(key), QByteArray());

    // Bytes after the declared payload are not part of it.
    WriteDat(key, QByteArray("\x02\x00\x00\x00"
                             "xyz",
                             7));
    EXPECT_EQ(DataFileStore::LoadDataFile(key), QByteArray("xy"));
}

TEST_F(DataFileStoreTest, MissingShortOrOddFilesCountAsMissing)
{
    const QString key = QStringLiteral("OpenDir");
    EXPECT_FALSE(DataFileStore::LoadDataFile(key).has_value());
    const std::vector<QByteArray> damaged = {
        QByteArray(),
        QByteArray("\x05\x00", 2),
        QByteArray("\x0A\x00\x00\x00"
                   "short",
                   9),
        QByteArray("\xFF\xFF\xFF\xFF"
                   "abc",
                   7),
    };
    for (const QByteArray& bytes : damaged) {
        SCOPED_TRACE(bytes.toHex().toStdString());
        WriteDat(key, bytes);
        EXPECT_FALSE(DataFileStore::LoadDataFile(key).has_value());
        EXPECT_FALSE(DataFileStore::ParseDataFile(bytes).has_value());
    }
    ASSERT_TRUE(QFile::remove(DatPath(key)));
    ASSERT_TRUE(QDir().mkpath(DatPath(key)));
    EXPECT_FALSE(DataFileStore::LoadDataFile(key).has_value());

    // A key never reaches outside the Data folder.
    EXPECT_FALSE(DataFileStore::SaveDataFile(QStringLiteral("../escape"), "x"));
    EXPECT_FALSE(DataFileStore::SaveDataFile(QString(), "x"));
    EXPECT_FALSE(QFileInfo::exists(m_root.path() + QStringLiteral("/escape.dat")));
}

TEST_F(DataFileStoreTest, RememberedFoldersCarryTheirTerminatingZero)
{
    const QString key = QString::fromLatin1(DataFileStore::kOpenWavDirKey);
    // Nothing remembered yet: the user's default folder, or the caller's own fallback.
    EXPECT_EQ(DataFileStore::LoadFolder(key), Home() + QLatin1Char('/'));
    EXPECT_EQ(DataFileStore::LoadFolder(key, QStringLiteral("/fallback/")), QStringLiteral("/fallback/"));

    ASSERT_TRUE(DataFileStore::SaveFolder(key, QStringLiteral("/music/jörg/")));
    ByteBuilder expected;
    expected.U32(14).Raw(QByteArray("/music/j\xC3\xB6rg/\0", 14));
    EXPECT_EQ(TestSupport::ReadAll(DatPath(key)), expected.Bytes());
    EXPECT_EQ(DataFileStore::LoadFolder(key), QStringLiteral("/music/jörg/"));

    // Text without its terminator is taken whole; an empty text means nothing remembered.
    WriteDat(key, QByteArray("\x04\x00\x00\x00"
                             "/tmp",
                             8));
    EXPECT_EQ(DataFileStore::LoadFolder(key), QStringLiteral("/tmp"));
    WriteDat(key, QByteArray("\x01\x00\x00\x00\x00", 5));
    EXPECT_EQ(DataFileStore::LoadFolder(key, QStringLiteral("/fallback/")), QStringLiteral("/fallback/"));
    // A damaged file falls back too.
    WriteDat(key, QByteArray("\x09\x00\x00\x00"
                             "/tmp",
                             8));
    EXPECT_EQ(DataFileStore::LoadFolder(key), Home() + QLatin1Char('/'));
}

TEST_F(DataFileStoreTest, FailedSaveLeavesTheOldFileIntact)
{
    const QString key = QString::fromLatin1(DataFileStore::kSelectionSaveDirKey);
    ASSERT_TRUE(DataFileStore::SaveFolder(key, QStringLiteral("/old/")));
    const QByteArray oldBytes = TestSupport::ReadAll(DatPath(key));
    {
        AppTestHelpers::ScopedFileSizeLimit limit(16);
        ASSERT_TRUE(limit.Active());
        EXPECT_FALSE(DataFileStore::SaveFolder(key, QString(100, QLatin1Char('n'))));
    }
    EXPECT_EQ(TestSupport::ReadAll(DatPath(key)), oldBytes);
    EXPECT_EQ(QDir(DataFolder()).entryList(QDir::Files | QDir::Hidden), QStringList({key + QStringLiteral(".dat")}));
}

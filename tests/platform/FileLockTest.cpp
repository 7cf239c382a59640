#include "platform/FileLock.h"

#include "support/TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <semaphore>
#include <thread>

using TestSupport::WriteAll;

namespace
{
// No other holder is expected in these cases: the wait only bounds how long a fault would hang.
constexpr int kNoWaitMs = 0;
constexpr int kLongWaitMs = 60000;
} // namespace

TEST(FileLockTest, ReadersShareWritersTakeTurnsAndMissingFilesNeedNoLock)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("song.mp3"));
    ASSERT_TRUE(WriteAll(path, "frames"));

    CFileLock reader;
    CFileLock otherReader;
    CFileLock writer;
    ASSERT_EQ(reader.Acquire(path, CFileLock::Mode::Shared, kNoWaitMs), CFileLock::Result::Locked);
    EXPECT_EQ(otherReader.Acquire(path, CFileLock::Mode::Shared, kNoWaitMs), CFileLock::Result::Locked);
    EXPECT_EQ(writer.Acquire(path, CFileLock::Mode::Exclusive, kNoWaitMs), CFileLock::Result::Busy);
    EXPECT_FALSE(writer.Held());
    reader.Release();
    otherReader.Release();
    ASSERT_EQ(writer.Acquire(path, CFileLock::Mode::Exclusive, kNoWaitMs), CFileLock::Result::Locked);
    EXPECT_EQ(reader.Acquire(path, CFileLock::Mode::Shared, kNoWaitMs), CFileLock::Result::Busy);

    // Moving the lock keeps it held; destroying the holder lets go.
    {
        CFileLock moved = std::move(writer);
        EXPECT_TRUE(moved.Held());
        EXPECT_FALSE(writer.Held());
        EXPECT_EQ(reader.Acquire(path, CFileLock::Mode::Shared, kNoWaitMs), CFileLock::Result::Busy);
    }
    EXPECT_EQ(reader.Acquire(path, CFileLock::Mode::Shared, kNoWaitMs), CFileLock::Result::Locked);

    EXPECT_EQ(writer.Acquire(dir.filePath(QStringLiteral("gone.mp3")), CFileLock::Mode::Exclusive, kNoWaitMs),
              CFileLock::Result::NoFile);
    EXPECT_EQ(writer.Acquire(dir.path(), CFileLock::Mode::Exclusive, kNoWaitMs), CFileLock::Result::NoFile);
    EXPECT_EQ(CFileLock::BusyText(path), path + QStringLiteral(" is busy: another Sorvane task is writing it"));
}

// A writer that replaces the file renames a new one over it. A task that waited for it must then
// hold the new file, not the old one nobody can reach any more.
TEST(FileLockTest, AWaiterLocksTheFileThatReplacedTheOneItWaitedFor)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("song.mp3"));
    ASSERT_TRUE(WriteAll(path, "old"));
    CFileLock reencode;
    ASSERT_EQ(reencode.Acquire(path, CFileLock::Mode::Exclusive, kNoWaitMs), CFileLock::Result::Locked);

    std::binary_semaphore waiting{0};
    CFileLock tagSave;
    CFileLock::Result result = CFileLock::Result::Failed;
    std::thread waiter([&] {
        waiting.release();
        result = tagSave.Acquire(path, CFileLock::Mode::Exclusive, kLongWaitMs);
    });
    waiting.acquire();
    // Give the waiter time to open the old file; should it come later it simply finds the new one.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const QString replacement = dir.filePath(QStringLiteral(".song.mp3.new"));
    ASSERT_TRUE(WriteAll(replacement, "new"));
    ASSERT_TRUE(QFile::rename(path, dir.filePath(QStringLiteral("old.mp3"))));
    ASSERT_TRUE(QFile::rename(replacement, path));
    reencode.Release();
    waiter.join();

    EXPECT_EQ(result, CFileLock::Result::Locked);
    CFileLock other;
    EXPECT_EQ(other.Acquire(path, CFileLock::Mode::Shared, kNoWaitMs), CFileLock::Result::Busy);
}

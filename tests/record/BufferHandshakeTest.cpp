#include "record/BufferHandshake.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

TEST(BufferHandshakeTest, ReleasesStopAtTheCeiling)
{
    CBufferHandshake handshake;
    EXPECT_EQ(handshake.MaximumCount(), 5);
    EXPECT_EQ(handshake.Ready().Count(), 0);
    EXPECT_EQ(handshake.Consumed().Count(), 0);
    EXPECT_FALSE(handshake.Ready().TryAcquire());

    handshake.Consumed().Release(3);
    handshake.Consumed().Release(5); // a mass release on top of pending ones
    EXPECT_EQ(handshake.Consumed().Count(), 5);
    handshake.Consumed().Release(-2);
    EXPECT_EQ(handshake.Consumed().Count(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(handshake.Consumed().TryAcquire());
    }
    EXPECT_FALSE(handshake.Consumed().TryAcquire());
    EXPECT_EQ(handshake.Ready().Count(), 0) << "the two semaphores are independent";
}

TEST(BufferHandshakeTest, AcquireWaitsForARelease)
{
    CCountingSemaphore semaphore(0, 2);
    std::atomic<bool> acquired{false};
    std::thread waiter([&] {
        semaphore.Acquire();
        acquired = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(acquired);
    semaphore.Release();
    waiter.join();
    EXPECT_TRUE(acquired);
    EXPECT_EQ(semaphore.Count(), 0);
}

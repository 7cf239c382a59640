#include "platform/audio/CaptureQueue.h"

#include "platform/AudioTestHelpers.h"

#include <atomic>
#include <gtest/gtest.h>
#include <latch>

using AudioTest::BufferLog;
using AudioTest::CountingBytes;
using AudioTest::kHangGuard;

namespace
{
constexpr std::size_t kBufferBytes = 4608;
constexpr std::size_t kCapacityBuffers = 4;

CCaptureQueue::BufferCallback Into(BufferLog& log)
{
    return [&log](const std::uint8_t* data, std::size_t bytes) { log.Add(data, bytes); };
}

CCaptureQueue::DeviceLostCallback LossInto(BufferLog& log)
{
    return [&log] { log.DeviceLost(); };
}
} // namespace

TEST(CaptureQueueTest, CutsPiecesOfAnySizeIntoExactBuffersInOrderOnItsOwnThread)
{
    BufferLog log;
    CCaptureQueue queue;
    ASSERT_TRUE(queue.Configure(kBufferBytes, kCapacityBuffers, Into(log), LossInto(log)));
    ASSERT_TRUE(queue.Start());

    // Odd piece sizes, one larger than the whole ring, and a silent hole in the middle.
    const std::vector<std::size_t> pieces = {1, 7, 4600, 9217, 3, 4608 * 5 + 11, 2000};
    const std::size_t holeBytes = 1500;
    QByteArray expected;
    std::size_t offset = 0;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const QByteArray piece = CountingBytes(pieces[i], offset);
        offset += pieces[i];
        ASSERT_TRUE(queue.PushWait(reinterpret_cast<const std::uint8_t*>(piece.constData()), piece.size()));
        expected += piece;
        if (i == 3) {
            ASSERT_TRUE(queue.PushWait(nullptr, holeBytes));
            expected += QByteArray(holeBytes, '\0');
        }
    }
    ASSERT_TRUE(queue.WaitUntilIdle(kHangGuard));

    const std::size_t whole = static_cast<std::size_t>(expected.size()) / kBufferBytes;
    const auto buffers = log.Buffers();
    ASSERT_EQ(buffers.size(), whole);
    for (const QByteArray& buffer : buffers) {
        EXPECT_EQ(static_cast<std::size_t>(buffer.size()), kBufferBytes);
    }
    EXPECT_EQ(log.Joined(), expected.left(static_cast<qsizetype>(whole * kBufferBytes)));
    for (const auto& thread : log.Threads()) {
        EXPECT_NE(thread, std::this_thread::get_id());
    }
    EXPECT_EQ(queue.LostBytes(), 0u);
    EXPECT_TRUE(queue.Losses().empty());
    queue.Stop();
    EXPECT_EQ(log.LostCount(), 0);
}

TEST(CaptureQueueTest, HoldsAtLeastTenSecondsOfSoundInEveryFormat)
{
    constexpr double kAtLeastSeconds = 10.0;
    struct Format
    {
        std::size_t bytesPerSecond;
        std::size_t bufferBytes;
    };
    for (const Format format : {Format{176400, 4608}, Format{88200, 2304}, Format{16000, 2304}, Format{44100, 4608}}) {
        const std::size_t buffers = CCaptureQueue::CapacityBuffersFor(format.bytesPerSecond, format.bufferBytes);
        EXPECT_GE(double(buffers * format.bufferBytes) / double(format.bytesPerSecond), kAtLeastSeconds)
            << format.bytesPerSecond;
    }
}

TEST(CaptureQueueTest, RefusedPiecesComeOutAsSilenceOfTheSameLengthBeforeAnythingNewer)
{
    BufferLog log;
    std::latch release(1);
    std::atomic<bool> firstHeld{false};
    CCaptureQueue queue;
    ASSERT_TRUE(queue.Configure(kBufferBytes, 2,
                                [&](const std::uint8_t* data, std::size_t bytes) {
                                    if (!firstHeld.exchange(true)) {
                                        release.wait();
                                    }
                                    log.Add(data, bytes);
                                },
                                {}));
    ASSERT_TRUE(queue.Start());

    // Frame-sized pieces of 4 bytes: the ring holds 2 buffers, the first stays held by the callback.
    constexpr std::size_t kPiece = 4;
    constexpr std::size_t kRefused = 100;
    const std::size_t ringPieces = 2 * kBufferBytes / kPiece;
    QByteArray expected;
    std::size_t accepted = 0;
    for (std::size_t i = 0; i < ringPieces + kRefused; ++i) {
        const QByteArray piece = CountingBytes(kPiece, i * kPiece);
        if (queue.Push(reinterpret_cast<const std::uint8_t*>(piece.constData()), kPiece)) {
            ++accepted;
            expected += piece;
        }
    }
    EXPECT_EQ(accepted, ringPieces);
    EXPECT_EQ(queue.RoomBytes(), 0u);
    EXPECT_EQ(queue.LostBytes(), kRefused * kPiece);
    // One loss, however many pieces made it, placed where the refused sound belonged.
    const auto losses = queue.Losses();
    ASSERT_EQ(losses.size(), 1u);
    EXPECT_EQ(losses[0].positionBytes, 2 * kBufferBytes);
    EXPECT_EQ(losses[0].bytes, kRefused * kPiece);

    release.count_down();
    const QByteArray later = CountingBytes(2 * kBufferBytes - kRefused * kPiece, 1);
    ASSERT_TRUE(queue.PushWait(reinterpret_cast<const std::uint8_t*>(later.constData()), later.size()));
    ASSERT_TRUE(queue.WaitUntilIdle(kHangGuard));
    expected += QByteArray(qsizetype(kRefused * kPiece), '\0') + later;
    EXPECT_EQ(log.Joined(), expected);
    queue.Stop();
}

TEST(CaptureQueueTest, AGapTheSoundSystemReportsIsSilenceAtItsPlaceEvenWhenLongerThanTheQueue)
{
    BufferLog log;
    CCaptureQueue queue;
    ASSERT_TRUE(queue.Configure(kBufferBytes, kCapacityBuffers, Into(log), LossInto(log)));
    ASSERT_TRUE(queue.Start());

    const QByteArray before = CountingBytes(1000);
    const std::size_t gap = kBufferBytes * kCapacityBuffers * 3 + 10;
    const QByteArray after = CountingBytes(kBufferBytes * 2, 5);
    ASSERT_TRUE(queue.PushWait(reinterpret_cast<const std::uint8_t*>(before.constData()), before.size()));
    // Reported in two parts that meet: one loss.
    ASSERT_TRUE(queue.PushGap(gap - 10));
    ASSERT_TRUE(queue.PushGap(10));
    ASSERT_TRUE(queue.PushWait(reinterpret_cast<const std::uint8_t*>(after.constData()), after.size()));
    ASSERT_TRUE(queue.WaitUntilIdle(kHangGuard));

    const QByteArray expected = before + QByteArray(qsizetype(gap), '\0') + after;
    const auto whole = static_cast<qsizetype>(std::size_t(expected.size()) / kBufferBytes * kBufferBytes);
    EXPECT_EQ(log.Joined(), expected.left(whole));
    const auto losses = queue.Losses();
    ASSERT_EQ(losses.size(), 1u);
    EXPECT_EQ(losses[0].positionBytes, 1000u);
    EXPECT_EQ(losses[0].bytes, gap);
    EXPECT_EQ(queue.LostBytes(), gap);
    queue.Stop();
}

TEST(CaptureQueueTest, AProducerThatFoundNoRoomIsCalledBackOnceABufferWentOut)
{
    std::latch release(1);
    std::atomic<bool> firstHeld{false};
    std::atomic<int> roomCalls{0};
    std::latch roomCalled(1);
    CCaptureQueue queue;
    ASSERT_TRUE(queue.Configure(kBufferBytes, 2,
                                [&](const std::uint8_t*, std::size_t) {
                                    if (!firstHeld.exchange(true)) {
                                        release.wait();
                                    }
                                },
                                {}));
    queue.SetRoomCallback([&] {
        if (++roomCalls == 1) {
            roomCalled.count_down();
        }
    });
    ASSERT_TRUE(queue.Start());

    const QByteArray data = CountingBytes(kBufferBytes * 2);
    ASSERT_TRUE(queue.HasRoomOrWait(std::size_t(data.size())));
    ASSERT_TRUE(queue.Push(reinterpret_cast<const std::uint8_t*>(data.constData()), data.size()));
    // Full: the producer keeps its sound and waits to be called.
    EXPECT_FALSE(queue.HasRoomOrWait(4));
    EXPECT_EQ(queue.LostBytes(), 0u);
    release.count_down();
    roomCalled.wait();
    EXPECT_TRUE(queue.HasRoomOrWait(kBufferBytes));
    ASSERT_TRUE(queue.WaitUntilIdle(kHangGuard));
    queue.Stop();
    // Called for the wait only, not for every buffer.
    EXPECT_EQ(roomCalls.load(), 1);
}

TEST(CaptureQueueTest, DeviceLossDeliversCompleteBuffersThenNotifiesOnceAndDropsThePartialRest)
{
    BufferLog log;
    CCaptureQueue queue;
    ASSERT_TRUE(queue.Configure(kBufferBytes, kCapacityBuffers, Into(log), LossInto(log)));
    ASSERT_TRUE(queue.Start());
    const QByteArray data = CountingBytes(kBufferBytes * 3 + 100);
    ASSERT_TRUE(queue.PushWait(reinterpret_cast<const std::uint8_t*>(data.constData()), data.size()));
    queue.DeviceLost();
    ASSERT_TRUE(log.WaitForLoss());
    EXPECT_EQ(log.BuffersAtLoss(), 3u);
    EXPECT_EQ(log.Joined(), data.left(kBufferBytes * 3));

    // Nothing is taken or delivered after the loss.
    EXPECT_FALSE(queue.Push(reinterpret_cast<const std::uint8_t*>(data.constData()), kBufferBytes));
    queue.Stop();
    EXPECT_EQ(log.Count(), 3u);
    EXPECT_EQ(log.LostCount(), 1);
}

TEST(CaptureQueueTest, StopWaitsForTheRunningCallbackAndNothingFollowsIt)
{
    std::latch entered(1);
    std::latch release(1);
    std::atomic<int> calls{0};
    std::atomic<bool> callbackDone{false};
    CCaptureQueue queue;
    ASSERT_TRUE(queue.Configure(kBufferBytes, kCapacityBuffers,
                                [&](const std::uint8_t*, std::size_t) {
                                    if (++calls == 1) {
                                        entered.count_down();
                                        release.wait();
                                        callbackDone = true;
                                    }
                                },
                                {}));
    ASSERT_TRUE(queue.Start());
    const QByteArray data = CountingBytes(kBufferBytes * 3);
    ASSERT_TRUE(queue.Push(reinterpret_cast<const std::uint8_t*>(data.constData()), data.size()));
    entered.wait();

    std::atomic<bool> stopReturned{false};
    bool doneWhenStopReturned = false;
    std::thread stopper([&] {
        queue.Stop();
        doneWhenStopReturned = callbackDone;
        stopReturned = true;
    });
    // Release the callback only once Stop has begun, so the buffers behind it are still queued.
    for (int i = 0; i < 15000 && queue.IsRunning(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_FALSE(stopReturned.load());
    release.count_down();
    stopper.join();
    EXPECT_TRUE(doneWhenStopReturned);
    EXPECT_EQ(calls.load(), 1); // the two queued buffers after it are not delivered
}

TEST(CaptureQueueTest, StopFromInsideTheCallbackEndsDeliveryAfterThatCall)
{
    std::atomic<int> calls{0};
    CCaptureQueue queue;
    ASSERT_TRUE(queue.Configure(kBufferBytes, kCapacityBuffers,
                                [&](const std::uint8_t*, std::size_t) {
                                    if (++calls == 2) {
                                        queue.Stop();
                                    }
                                },
                                {}));
    ASSERT_TRUE(queue.Start());
    const QByteArray data = CountingBytes(kBufferBytes * 4);
    ASSERT_TRUE(queue.Push(reinterpret_cast<const std::uint8_t*>(data.constData()), data.size()));
    ASSERT_TRUE(queue.WaitUntilIdle(kHangGuard));
    queue.Stop(); // joins the thread that stopped itself
    EXPECT_EQ(calls.load(), 2);
    EXPECT_FALSE(queue.IsRunning());

    // The same queue can run again.
    calls = 0;
    ASSERT_TRUE(queue.Start());
    ASSERT_TRUE(queue.Push(reinterpret_cast<const std::uint8_t*>(data.constData()), kBufferBytes));
    ASSERT_TRUE(queue.WaitUntilIdle(kHangGuard));
    queue.Stop();
    EXPECT_EQ(calls.load(), 1);
}

TEST(CaptureQueueTest, RejectsAZeroBufferSizeOrAMissingCallback)
{
    CCaptureQueue queue;
    EXPECT_FALSE(queue.Configure(0, kCapacityBuffers, [](const std::uint8_t*, std::size_t) {}, {}));
    EXPECT_FALSE(queue.Configure(kBufferBytes, kCapacityBuffers, {}, {}));
    EXPECT_FALSE(queue.Start());
}

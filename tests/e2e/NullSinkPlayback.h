#pragma once

#include "platform/audio/AudioCapture.h"
#include "platform/audio/ScopedAudioBackend.h"
#include "support/SoundServerLock.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <gtest/gtest.h>
#include <memory>
#include <mutex>
#include <vector>

// For tests that play through the real PulseAudio back-end into the private server's null sink
// and record what it played from its monitor. Skips without the server; holds the server lock
// for the test and restores the default source afterwards.
class CNullSinkPlaybackTest : public ::testing::Test
{
public:
    static constexpr int kRate = 44100;
    static constexpr int kChannels = 2;
    static constexpr int kFrameBytes = kChannels * 2;

protected:
    void SetUp() override;
    void TearDown() override;
    void Pactl(const QStringList& arguments);

    // Starts recording the monitor.
    void StartMonitor();
    // Stops recording and hands back everything recorded, as 16-bit samples.
    std::vector<std::int16_t> StopMonitor();

    // outer tone, selection tone, outer tone; the byte offsets of the selection's sample data.
    struct ThreeTones
    {
        std::vector<std::int16_t> pcm;
        std::uint32_t selectionStart = 0;
        std::uint32_t selectionEnd = 0;
    };
    static ThreeTones MakeThreeTones(double outerSeconds, double outerHz, double selectionSeconds, double selectionHz,
                                     double amplitude);

    QString m_server;

private:
    std::unique_ptr<CSoundServerLock> m_lock;
    std::unique_ptr<CScopedAudioBackend> m_scope;
    std::unique_ptr<AudioCapture> m_capture;
    std::mutex m_recordedMutex;
    QByteArray m_recorded;
};

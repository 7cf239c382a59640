#include "NullSinkPlayback.h"

#include "platform/audio/PcmFormat.h"
#include "platform/audio/pulse/PulseAudioBackend.h"
#include "support/TestSoundServer.h"
#include "support/TestSupport.h"

#include <cstring>

namespace
{
constexpr std::size_t kCaptureBuffer = 4608;
} // namespace

void CNullSinkPlaybackTest::SetUp()
{
    const QString missing = TestSoundServer::SharedServerMissing();
    if (!missing.isEmpty()) {
        GTEST_SKIP() << missing.toStdString();
    }
    m_lock = std::make_unique<CSoundServerLock>();
    ASSERT_TRUE(m_lock->IsLocked());
    m_server = TestSoundServer::SharedServerAddress();
    Pactl({"set-sink-volume", "out", "100%"});
    Pactl({"set-source-volume", "out.monitor", "100%"});
    Pactl({"set-default-source", "out.monitor"});
    m_scope = std::make_unique<CScopedAudioBackend>(std::make_shared<CPulseAudioBackend>(m_server));
}

void CNullSinkPlaybackTest::TearDown()
{
    if (m_capture) {
        m_capture->Close();
    }
    m_scope.reset();
    if (m_lock) {
        Pactl({"set-default-source", "sine"});
    }
}

void CNullSinkPlaybackTest::Pactl(const QStringList& arguments)
{
    const auto result = TestSoundServer::Pactl(m_server, arguments);
    EXPECT_EQ(result.exitCode, 0) << arguments.join(' ').toStdString() << ": " << result.err.toStdString();
}

void CNullSinkPlaybackTest::StartMonitor()
{
    m_capture = CPulseAudioBackend(m_server).CreateCapture();
    ASSERT_TRUE(m_capture->Open(
        PcmFormat::Pcm16(kChannels, kRate), kCaptureBuffer,
        [this](const std::uint8_t* data, std::size_t bytes) {
            std::lock_guard lock(m_recordedMutex);
            m_recorded.append(reinterpret_cast<const char*>(data), qsizetype(bytes));
        },
        [] {}))
        << m_capture->LastError().toStdString();
    ASSERT_TRUE(m_capture->Start());
}

std::vector<std::int16_t> CNullSinkPlaybackTest::StopMonitor()
{
    if (m_capture) {
        m_capture->Stop();
        m_capture->Close();
    }
    std::lock_guard lock(m_recordedMutex);
    std::vector<std::int16_t> samples(std::size_t(m_recorded.size()) / sizeof(std::int16_t));
    std::memcpy(samples.data(), m_recorded.constData(), samples.size() * sizeof(std::int16_t));
    m_recorded.clear();
    return samples;
}

CNullSinkPlaybackTest::ThreeTones CNullSinkPlaybackTest::MakeThreeTones(double outerSeconds, double outerHz,
                                                                        double selectionSeconds, double selectionHz,
                                                                        double amplitude)
{
    ThreeTones tones;
    tones.pcm = TestSupport::SinePcm(kChannels, kRate, outerSeconds, outerHz, amplitude);
    tones.selectionStart = std::uint32_t(tones.pcm.size() * sizeof(std::int16_t));
    const auto selection = TestSupport::SinePcm(kChannels, kRate, selectionSeconds, selectionHz, amplitude);
    tones.pcm.insert(tones.pcm.end(), selection.begin(), selection.end());
    tones.selectionEnd = std::uint32_t(tones.pcm.size() * sizeof(std::int16_t));
    const auto after = TestSupport::SinePcm(kChannels, kRate, outerSeconds, outerHz, amplitude);
    tones.pcm.insert(tones.pcm.end(), after.begin(), after.end());
    return tones;
}

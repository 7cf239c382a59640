#pragma once

#include "app/RecordSettings.h"
#include "support/TestSupport.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QString>
#include <QTemporaryDir>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <numbers>
#include <thread>
#include <vector>

// Helpers shared by the recording control tests and the end-to-end recording tests.
namespace RecordingTest
{
constexpr double kToneHz = 440.0;
constexpr double kToneAmplitude = 0.5;
// Decoded samples louder than this belong to the tone; the encoder's silence stays far below.
constexpr int kToneThreshold = 2000;

// Once per test process: a private Data folder and an application object for posted events.
inline void PrepareProcess()
{
    static const std::unique_ptr<QTemporaryDir> dataFolder = [] {
        auto folder = std::make_unique<QTemporaryDir>();
        qputenv("SORVANE_DATA_DIR", folder->path().toLocal8Bit());
        return folder;
    }();
    static int argc = 1;
    static char name[] = "recording_test";
    static char* argv[] = {name, nullptr};
    // Initialised in place, so it goes at exit before the Qt internals it made on the way.
    static const std::unique_ptr<QCoreApplication> application =
        QCoreApplication::instance() ? nullptr : std::make_unique<QCoreApplication>(argc, argv);
}

// The settings a test starts from: defaults, except the format, the save folder and the
// silence detector, which the test chooses.
inline void ResetSettings(const QString& saveDirectory, int channels = 2, std::uint32_t rate = 44100)
{
    CRecordSettings& settings = CRecordSettings::Instance();
    settings.SetFormat(RecordFormat::Pcm16(std::uint16_t(channels), rate));
    settings.SetSaveDirectory(saveDirectory);
    settings.SetBitrateIndex(CRecordSettings::kDefaultBitrateIndex);
    settings.SetSilenceDetectorEnabled(true);
    settings.SetSensitivity(CRecordSettings::kDefaultSensitivity);
    settings.SetSkipSilentPassages(true);
    settings.SetLongSilenceAction(0);
    settings.SetStopAfterSeconds(CRecordSettings::kDefaultSilenceSeconds);
    settings.SetNewFileAfterSeconds(CRecordSettings::kDefaultSilenceSeconds);
    settings.SetSchedule({});
}

inline QByteArray ToBytes(const std::vector<std::int16_t>& pcm)
{
    return QByteArray(reinterpret_cast<const char*>(pcm.data()), qsizetype(pcm.size() * sizeof(std::int16_t)));
}

inline QByteArray Tone(double seconds, int channels, int rate)
{
    return ToBytes(TestSupport::SinePcm(channels, rate, seconds, kToneHz, kToneAmplitude));
}

inline QByteArray Zeros(double seconds, int channels, int rate)
{
    return QByteArray(qsizetype(std::lround(seconds * rate)) * channels * qsizetype(sizeof(std::int16_t)), '\0');
}

// Handles posted events until `done` holds or the hang guard runs out.
inline bool ProcessEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds guard)
{
    QDeadlineTimer deadline(guard);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

inline void ProcessPendingEvents()
{
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// An MP3 decoded by mpg123 into interleaved 16-bit samples; empty when mpg123 refuses it.
struct DecodedMp3
{
    bool ok = false;
    int exitCode = -1;
    std::vector<std::int16_t> samples;
};

inline DecodedMp3 DecodeWithMpg123(const QString& path)
{
    const auto decoded =
        TestSupport::RunTool(QStringLiteral("mpg123"), {QStringLiteral("-q"), QStringLiteral("-s"), path});
    DecodedMp3 result;
    result.exitCode = decoded.exitCode;
    result.samples.resize(std::size_t(decoded.out.size()) / sizeof(std::int16_t));
    std::memcpy(result.samples.data(), decoded.out.constData(), result.samples.size() * sizeof(std::int16_t));
    result.ok = decoded.exitCode == 0 && !result.samples.empty();
    return result;
}

struct ToneSpan
{
    double firstSeconds = -1; // where the tone begins, from the start of the file
    double lastSeconds = -1;  // where it ends
    double Seconds() const { return lastSeconds - firstSeconds; }
};

// Where the loud part of the first channel begins and ends.
inline ToneSpan FindTone(const std::vector<std::int16_t>& samples, int channels, int rate)
{
    ToneSpan span;
    const std::size_t frames = samples.size() / std::size_t(channels);
    for (std::size_t i = 0; i < frames; ++i) {
        if (std::abs(int(samples[i * std::size_t(channels)])) > kToneThreshold) {
            if (span.firstSeconds < 0) {
                span.firstSeconds = double(i) / rate;
            }
            span.lastSeconds = double(i) / rate;
        }
    }
    return span;
}

// A stretch inside the tone where the first channel stays quiet: a gap in a recording of a
// steady tone (the tone's own zero crossings last a few samples only).
struct QuietStretch
{
    double startSeconds = 0;
    double seconds = 0;
};

inline QuietStretch LongestQuietStretch(const std::vector<std::int16_t>& samples, int channels, int rate)
{
    const ToneSpan tone = FindTone(samples, channels, rate);
    QuietStretch longest;
    if (tone.firstSeconds < 0) {
        return longest;
    }
    const auto first = std::size_t(tone.firstSeconds * rate);
    const auto last = std::size_t(tone.lastSeconds * rate);
    std::size_t runStart = first;
    for (std::size_t i = first; i <= last; ++i) {
        if (std::abs(int(samples[i * std::size_t(channels)])) > kToneThreshold) {
            const double seconds = double(i - runStart) / rate;
            if (seconds > longest.seconds) {
                longest = QuietStretch{double(runStart) / rate, seconds};
            }
            runStart = i + 1;
        }
    }
    return longest;
}

// The dominant frequency of the first channel between two times, by counting rising zero
// crossings of the loud part.
inline double ToneFrequency(const std::vector<std::int16_t>& samples, int channels, int rate, double from, double to)
{
    const std::size_t first = std::size_t(from * rate);
    const std::size_t last = std::min(std::size_t(to * rate), samples.size() / std::size_t(channels));
    int crossings = 0;
    std::size_t firstCrossing = 0;
    std::size_t lastCrossing = 0;
    for (std::size_t i = first + 1; i < last; ++i) {
        const int before = samples[(i - 1) * std::size_t(channels)];
        const int now = samples[i * std::size_t(channels)];
        if (before < 0 && now >= 0) {
            if (crossings == 0) {
                firstCrossing = i;
            }
            lastCrossing = i;
            ++crossings;
        }
    }
    if (crossings < 2) {
        return 0;
    }
    return double(crossings - 1) * rate / double(lastCrossing - firstCrossing);
}
} // namespace RecordingTest

#pragma once

#include "audio/DecodingSink.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace Mp3Fixtures
{
// Once per process: a private Data folder (SORVANE_DATA_DIR) and a QCoreApplication, so
// settings never touch the user's and posted events can be delivered.
void PrepareProcess();

// A sine tone made by sox and encoded by lame at a constant bit rate; empty on failure.
QString MakeToneMp3(const QString& folder, const QString& name, int sampleRate, int channels, double seconds, int kbps,
                    double amplitude = 0.5);

// The same without the Info frame (lame -t): every frame is sound, so decoders that skip an
// Info frame and those that decode it as silence give the same samples.
QString MakeBareToneMp3(const QString& folder, const QString& name, int sampleRate, int channels, double seconds,
                        int kbps);

// Raw interleaved 16-bit PCM from mpg123 (every frame, no gapless trimming).
std::vector<std::int16_t> Mpg123Pcm(const QString& mp3Path);
// The same as mpg123 plays it: gapless, the Info frame and the LAME tag's delay and padding cut.
std::vector<std::int16_t> Mpg123GaplessPcm(const QString& mp3Path);

// Best normalised correlation of b against a over whole-frame shifts of up to two frames,
// with the RMS of the difference at that shift.
struct Likeness
{
    double correlation = 0;
    double rmsDifference = 0;
};
Likeness Compare(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b, int channels, int frameLength);

// Collects every converted frame through the shared sink skeleton.
class CCollectingSink : public CDecodingSink
{
public:
    std::vector<std::int16_t> pcm;
    int frames = 0;
    unsigned sampleRate = 0;
    unsigned channels = 0;
    unsigned frameLength = 0; // samples per channel of a whole frame

protected:
    bool SetUpFirstFrame(const Mp3FrameHeader& header, const DecodedPcm& frame) override;
    FrameFlow Deliver(const Mp3FrameHeader& header, const std::uint8_t* bytes, std::size_t size) override;
};

// Redirects the process's stderr into a file while alive.
class CStderrCapture
{
public:
    CStderrCapture();
    ~CStderrCapture();
    CStderrCapture(const CStderrCapture&) = delete;
    CStderrCapture& operator=(const CStderrCapture&) = delete;
    QByteArray Text() const;

private:
    int m_savedFd = -1;
    QString m_path;
};
} // namespace Mp3Fixtures

#pragma once

#include <QByteArray>
#include <QString>
#include <set>

// Independent checks of the MP3 files our encoder writes: a walk over the frame headers and a
// decode by mpg123 and ffprobe.
namespace Mp3Check
{
struct FrameHeader
{
    int bitrateKbps = 0;
    int sampleRate = 0;
    int channelMode = 0; // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    int samplesPerFrame = 0;
    int lengthBytes = 0;
    bool crcProtected = false;
    bool privateBit = false;
    bool copyright = false;
    bool original = false;
    int mainDataBegin = 0; // the bit reservoir back-pointer of the side information
};

// Parses the frame header at data[offset]; false when there is none.
bool ParseFrame(const QByteArray& data, qsizetype offset, FrameHeader& header);

struct StreamSummary
{
    int frames = 0;
    bool contiguous = false;   // frames follow each other from byte 0 to the very end
    bool hasHeaderTag = false; // the first frame is a "Xing" or "Info" frame
    std::set<int> bitrates;
    std::set<int> sampleRates;
    std::set<int> channelModes;
    std::set<int> mainDataBegins;
    FrameHeader first;
};

StreamSummary Walk(const QByteArray& data);

struct Decoded
{
    bool ok = false;
    long long samplesPerChannel = 0;       // from mpg123's raw output
    long long ffmpegSamplesPerChannel = 0; // from ffmpeg's raw output
    QString ffprobeRate;
    QString ffprobeChannels;
};

Decoded Decode(const QString& path, int channels);
} // namespace Mp3Check

#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <utility>
#include <vector>

namespace TestSupport
{
struct ToolResult
{
    int exitCode = -1; // -1 when the program could not be started
    QByteArray out;
    QByteArray err;
};

// Runs a program to completion (peer tools: mpg123, ffprobe, sox, lame, id3v2 ...).
ToolResult RunTool(const QString& program, const QStringList& arguments, int timeoutMs = 120000);
bool ToolAvailable(const QString& program);

// Interleaved 16-bit sine tone.
std::vector<std::int16_t> SinePcm(int channels, int sampleRate, double seconds, double frequency,
                                  double amplitude = 0.5);
// A plain 44-byte-header PCM WAV built by hand, independent of our own WAV writer.
bool WriteSimpleWav(const QString& path, const std::vector<std::int16_t>& pcm, int channels, int sampleRate);

// An ID3v2 tag (version 3 or 4; 4 may carry a footer) with one PRIV frame holding payload
// as it is, not unsynchronised: MPEG frames put there look like audio to a careless reader.
QByteArray Id3v2TagWithPrivateFrame(const QByteArray& payload, int version, bool withFooter);

// An ID3v2 tag (version 3 or 4) of frames given as id and body, bodies as stored.
QByteArray Id3v2Tag(int version, const std::vector<std::pair<QByteArray, QByteArray>>& frames);
// Frame bodies in ISO-8859-1: a text frame, a comment or lyrics ("COMM", "USLT": language "eng",
// no description), a user text (TXXX) and an attached picture (APIC, front cover).
QByteArray Id3v2Text(const QByteArray& text);
QByteArray Id3v2LanguageText(const QByteArray& text);
QByteArray Id3v2UserText(const QByteArray& description, const QByteArray& value);
QByteArray Id3v2Picture(const QByteArray& mimeType, const QByteArray& picture);

QByteArray ReadAll(const QString& path);
bool WriteAll(const QString& path, const QByteArray& bytes);

// The folder the test executables, sorvane-cli and liblame_enc.so are built into.
QString BinaryDirectory();

// Waits until process pid holds a file open in folder that has no name yet (an unnamed
// temporary, or one of Sorvane's hidden ".sorvane-*.tmp" names): the sign that it has begun
// writing an output. False when the process ended first or nothing came within the time.
bool WaitUntilWritingInto(qint64 pid, const QString& folder, int timeoutMs = 60000);

// Fields of the first audio stream according to ffprobe ("sample_rate", "channels",
// "channel_layout", "duration", ...); empty when ffprobe fails.
QString FfprobeField(const QString& path, const QString& field);

// Samples per channel a peer decoder ("mpg123" or "ffmpeg") puts out for an MP3; -1 on failure.
long long DecodedSamplesPerChannel(const QString& decoder, const QString& path, int channels);
// The samples per channel the MP3's LAME/Info tag says the file plays: frames times frame
// length, less encoder delay and padding. -1 when the file starts with no filled tag.
long long TaggedSamplesPerChannel(const QString& path);
} // namespace TestSupport

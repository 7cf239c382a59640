#pragma once

#include <QString>
#include <QStringList>
#include <vector>

// One capture source as the record-source panel shows it.
struct RecordSource
{
    QString name;        // the sound system's own name of the source, unique
    QString description; // the label users know it by
    int minimum = 0;     // volume range of the level
    int maximum = 0;
    int level = 0; // volume of the first channel
};

// Sorvane's playback volume (the "speakers" of the listen panel).
struct OutputVolume
{
    QString name;
    QString description;
    int minimum = 0;
    int maximum = 0;
    int level = 0;
};

// The recording mixer: which source capture records from, and the source and speaker volumes.
// Every operation on sources connects to the sound system, does its work and lets go again;
// nothing is held between calls and no change notifications are used. The speakers are
// Sorvane's own playback volume (PlaybackVolume), so they need no sound system at all. Levels run from kLevelMinimum to
// kLevelMaximum whatever scale the sound system uses; values outside are clamped.
class RecordMixer
{
public:
    static constexpr int kLevelMinimum = 0;
    static constexpr int kLevelMaximum = 65535;
    // The panel has eight rows; sources beyond them are not offered.
    static constexpr int kMaxSources = 8;

    virtual ~RecordMixer() = default;

    // The capture sources in the sound system's order, output monitors included, at most
    // kMaxSources of them. False (and an empty list) when the sound system cannot be reached.
    virtual bool EnumerateSources(std::vector<RecordSource>& sources) = 0;
    // Index of the selected source (the one capture records from) in EnumerateSources' list;
    // 0 when it is not among them or cannot be read.
    virtual int SelectedSource() = 0;
    // Makes source `index` the one capture records from.
    virtual bool SelectSource(int index) = 0;
    // Sets the first and the last channel of source `index` to `level`.
    virtual bool SetSourceLevel(int index, int level) = 0;

    // Sorvane's playback volume; the sound system's own output volume is never read.
    virtual bool ReadOutputVolume(OutputVolume& volume) = 0;
    // Sets Sorvane's playback volume: the streams playing now and every later one. The sound
    // system's output volume is never changed.
    virtual bool SetOutputVolume(int level) = 0;

    // Descriptions of every capture source in order, for device lists (not limited to eight).
    virtual QStringList CaptureDeviceNames() = 0;
};

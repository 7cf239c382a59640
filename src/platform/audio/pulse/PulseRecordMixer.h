#pragma once

#include "platform/audio/RecordMixer.h"

#include <QString>
#include <functional>

class CPulseConnection;

// The recording mixer over a PulseAudio server: the sources are the server's capture sources
// in its own order (output monitors included), the selected one is the server's default
// source, and the speakers are the default sink. Each call opens its own connection.
class CPulseRecordMixer : public RecordMixer
{
public:
    explicit CPulseRecordMixer(QString server);

    bool EnumerateSources(std::vector<RecordSource>& sources) override;
    int SelectedSource() override;
    bool SelectSource(int index) override;
    bool SetSourceLevel(int index, int level) override;
    bool ReadOutputVolume(OutputVolume& volume) override;
    bool SetOutputVolume(int level) override;
    QStringList CaptureDeviceNames() override;

private:
    // Connects, runs work with the main loop locked, and lets go: the mixer holds nothing
    // between calls. False when the server cannot be reached or work fails.
    bool WithConnection(const std::function<bool(CPulseConnection&)>& work) const;

    QString m_server;
};

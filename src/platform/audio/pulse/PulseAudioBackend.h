#pragma once

#include "platform/audio/AudioBackend.h"

#include <QString>

// The PulseAudio back-end (also served by PipeWire's pulse server). An empty server name means
// the usual one, which honours PULSE_SERVER; tests name a private server instead.
class CPulseAudioBackend : public AudioBackend
{
public:
    explicit CPulseAudioBackend(QString server = {});

    std::unique_ptr<AudioCapture> CreateCapture() override;
    std::unique_ptr<AudioPlayback> CreatePlayback() override;
    std::unique_ptr<RecordMixer> CreateRecordMixer() override;

    const QString& Server() const { return m_server; }

private:
    QString m_server;
};

#pragma once

#include "platform/audio/AudioCapture.h"
#include "platform/audio/AudioPlayback.h"
#include "platform/audio/RecordMixer.h"

#include <memory>

// Makes the sound objects of one sound system. The program uses Current(), which is the
// PulseAudio back-end unless a test installed another (the in-memory one, or PulseAudio
// pointed at a private server).
class AudioBackend
{
public:
    virtual ~AudioBackend() = default;

    virtual std::unique_ptr<AudioCapture> CreateCapture() = 0;
    virtual std::unique_ptr<AudioPlayback> CreatePlayback() = 0;
    virtual std::unique_ptr<RecordMixer> CreateRecordMixer() = 0;

    static std::shared_ptr<AudioBackend> Current();
    // Replaces the back-end for everything created from now on; nullptr restores PulseAudio.
    // Objects created before keep the back-end they came from.
    static void Install(std::shared_ptr<AudioBackend> backend);
};

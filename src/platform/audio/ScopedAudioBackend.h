#pragma once

#include "platform/audio/AudioBackend.h"

#include <memory>
#include <utility>

// Installs a back-end for the lifetime of the guard and restores the previous one after.
class CScopedAudioBackend
{
public:
    explicit CScopedAudioBackend(std::shared_ptr<AudioBackend> backend)
        : m_previous(AudioBackend::Current())
    {
        AudioBackend::Install(std::move(backend));
    }
    ~CScopedAudioBackend() { AudioBackend::Install(std::move(m_previous)); }

    CScopedAudioBackend(const CScopedAudioBackend&) = delete;
    CScopedAudioBackend& operator=(const CScopedAudioBackend&) = delete;

private:
    std::shared_ptr<AudioBackend> m_previous;
};

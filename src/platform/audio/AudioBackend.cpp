#include "platform/audio/AudioBackend.h"

#include "platform/audio/pulse/PulseAudioBackend.h"

#include <mutex>

namespace
{
std::mutex g_backendMutex;
std::shared_ptr<AudioBackend> g_installed;
} // namespace

std::shared_ptr<AudioBackend> AudioBackend::Current()
{
    std::lock_guard lock(g_backendMutex);
    if (!g_installed) {
        g_installed = std::make_shared<CPulseAudioBackend>();
    }
    return g_installed;
}

void AudioBackend::Install(std::shared_ptr<AudioBackend> backend)
{
    std::lock_guard lock(g_backendMutex);
    g_installed = std::move(backend);
}

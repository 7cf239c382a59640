#include "platform/audio/memory/MemoryRecordMixer.h"

#include "platform/audio/PlaybackVolume.h"
#include "platform/audio/memory/MemoryAudioBackend.h"

#include <algorithm>

namespace
{
int FirstLevel(const CMemoryAudioBackend::Source& source)
{
    return source.channelLevels.empty() ? RecordMixer::kLevelMinimum : source.channelLevels.front();
}

void SetFirstAndLast(CMemoryAudioBackend::Source& source, int level)
{
    if (source.channelLevels.empty()) {
        return;
    }
    const int clamped = std::clamp(level, RecordMixer::kLevelMinimum, RecordMixer::kLevelMaximum);
    source.channelLevels.front() = clamped;
    source.channelLevels.back() = clamped;
}

int ShownCount(const std::vector<CMemoryAudioBackend::Source>& sources)
{
    return static_cast<int>(std::min<std::size_t>(sources.size(), RecordMixer::kMaxSources));
}
} // namespace

CMemoryRecordMixer::CMemoryRecordMixer(std::shared_ptr<CMemoryAudioBackend> backend)
    : m_backend(std::move(backend))
{}

bool CMemoryRecordMixer::EnumerateSources(std::vector<RecordSource>& sources)
{
    sources.clear();
    std::lock_guard lock(m_backend->m_mutex);
    if (!m_backend->m_reachable) {
        return false;
    }
    const auto& all = m_backend->m_sources;
    for (int i = 0; i < ShownCount(all); ++i) {
        const auto& source = all[static_cast<std::size_t>(i)];
        sources.push_back(
            RecordSource{source.name, source.description, kLevelMinimum, kLevelMaximum, FirstLevel(source)});
    }
    return true;
}

int CMemoryRecordMixer::SelectedSource()
{
    std::lock_guard lock(m_backend->m_mutex);
    if (!m_backend->m_reachable) {
        return 0;
    }
    const auto& all = m_backend->m_sources;
    for (int i = 0; i < ShownCount(all); ++i) {
        if (all[static_cast<std::size_t>(i)].name == m_backend->m_defaultSource) {
            return i;
        }
    }
    return 0;
}

bool CMemoryRecordMixer::SelectSource(int index)
{
    std::lock_guard lock(m_backend->m_mutex);
    if (!m_backend->m_reachable || index < 0 || index >= ShownCount(m_backend->m_sources)) {
        return false;
    }
    m_backend->m_defaultSource = m_backend->m_sources[static_cast<std::size_t>(index)].name;
    return true;
}

bool CMemoryRecordMixer::SetSourceLevel(int index, int level)
{
    std::lock_guard lock(m_backend->m_mutex);
    if (!m_backend->m_reachable || index < 0 || index >= ShownCount(m_backend->m_sources)) {
        return false;
    }
    SetFirstAndLast(m_backend->m_sources[static_cast<std::size_t>(index)], level);
    return true;
}

bool CMemoryRecordMixer::ReadOutputVolume(OutputVolume& volume)
{
    // Sorvane's own playback volume, as on the real sound system: the card's output is not it.
    volume = OutputVolume{QStringLiteral("sorvane-playback"), QStringLiteral("Sorvane playback"), kLevelMinimum,
                          kLevelMaximum, PlaybackVolume::Level()};
    return true;
}

bool CMemoryRecordMixer::SetOutputVolume(int level)
{
    PlaybackVolume::SetLevel(level);
    return true;
}

QStringList CMemoryRecordMixer::CaptureDeviceNames()
{
    QStringList names;
    std::lock_guard lock(m_backend->m_mutex);
    if (m_backend->m_reachable) {
        for (const auto& source : m_backend->m_sources) {
            names.append(source.description);
        }
    }
    return names;
}

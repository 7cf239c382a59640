#include "platform/audio/pulse/PulseRecordMixer.h"

#include "platform/audio/PlaybackVolume.h"
#include "platform/audio/pulse/PulseConnection.h"
#include "platform/audio/pulse/PulseLock.h"
#include "platform/audio/pulse/PulseVolume.h"

#include <algorithm>
#include <pulse/introspect.h>

namespace
{
const QString kClientName = QStringLiteral("Sorvane mixer");
constexpr const char* kPlaybackVolumeName = "sorvane-playback";
constexpr const char* kPlaybackVolumeDescription = "Sorvane playback";

struct DeviceEntry
{
    QByteArray name;
    QString description;
    pa_cvolume volume{};
};

struct DeviceListState
{
    CPulseMainLoop* loop = nullptr;
    std::vector<DeviceEntry> entries;
    bool complete = false;
};

template <typename Info>
void CollectDevice(const Info* info, int endOfList, void* userdata)
{
    auto* state = static_cast<DeviceListState*>(userdata);
    if (endOfList != 0) {
        // A negative end marks a failed listing; what came before it is not trusted.
        state->complete = endOfList > 0;
        state->loop->Signal();
        return;
    }
    if (info) {
        state->entries.push_back(DeviceEntry{QByteArray(info->name ? info->name : ""),
                                             QString::fromUtf8(info->description ? info->description : ""),
                                             info->volume});
    }
}

void OnSourceInfo(pa_context*, const pa_source_info* info, int endOfList, void* userdata)
{
    CollectDevice(info, endOfList, userdata);
}

// All capture sources in the server's order; the caller holds the loop lock.
bool ReadSources(CPulseConnection& connection, std::vector<DeviceEntry>& sources)
{
    DeviceListState state{&connection.Loop(), {}, false};
    if (!connection.Await(pa_context_get_source_info_list(connection.Context(), &OnSourceInfo, &state)) ||
        !state.complete) {
        return false;
    }
    sources = std::move(state.entries);
    return true;
}

std::size_t ShownCount(const std::vector<DeviceEntry>& sources)
{
    return std::min<std::size_t>(sources.size(), RecordMixer::kMaxSources);
}

bool IsShownIndex(const std::vector<DeviceEntry>& sources, int index)
{
    return index >= 0 && static_cast<std::size_t>(index) < ShownCount(sources);
}
} // namespace

CPulseRecordMixer::CPulseRecordMixer(QString server)
    : m_server(std::move(server))
{}

bool CPulseRecordMixer::WithConnection(const std::function<bool(CPulseConnection&)>& work) const
{
    CPulseConnection connection;
    if (!connection.Connect(m_server, kClientName)) {
        return false;
    }
    CPulseLock lock(connection.Loop());
    return work(connection);
}

bool CPulseRecordMixer::EnumerateSources(std::vector<RecordSource>& sources)
{
    sources.clear();
    return WithConnection([&sources](CPulseConnection& connection) {
        std::vector<DeviceEntry> entries;
        if (!ReadSources(connection, entries)) {
            return false;
        }
        entries.resize(ShownCount(entries));
        for (const DeviceEntry& entry : entries) {
            sources.push_back(RecordSource{QString::fromUtf8(entry.name), entry.description, kLevelMinimum,
                                           kLevelMaximum, PulseVolume::FirstChannelLevel(entry.volume)});
        }
        return true;
    });
}

int CPulseRecordMixer::SelectedSource()
{
    int selected = 0;
    WithConnection([&selected](CPulseConnection& connection) {
        std::vector<DeviceEntry> entries;
        CPulseConnection::DefaultDevices devices;
        if (!ReadSources(connection, entries) || !connection.ReadDefaultDevices(devices)) {
            return false;
        }
        for (std::size_t i = 0; i < ShownCount(entries); ++i) {
            if (entries[i].name == devices.sourceName) {
                selected = static_cast<int>(i);
                break;
            }
        }
        return true;
    });
    return selected;
}

bool CPulseRecordMixer::SelectSource(int index)
{
    return WithConnection([index](CPulseConnection& connection) {
        std::vector<DeviceEntry> entries;
        if (!ReadSources(connection, entries) || !IsShownIndex(entries, index)) {
            return false;
        }
        const QByteArray name = entries[static_cast<std::size_t>(index)].name;
        return connection.RunSuccessOperation([&connection, &name](auto callback, void* userdata) {
            return pa_context_set_default_source(connection.Context(), name.constData(), callback, userdata);
        });
    });
}

bool CPulseRecordMixer::SetSourceLevel(int index, int level)
{
    return WithConnection([index, level](CPulseConnection& connection) {
        std::vector<DeviceEntry> entries;
        if (!ReadSources(connection, entries) || !IsShownIndex(entries, index)) {
            return false;
        }
        DeviceEntry& entry = entries[static_cast<std::size_t>(index)];
        PulseVolume::SetFirstAndLastChannel(entry.volume, level);
        return connection.RunSuccessOperation([&connection, &entry](auto callback, void* userdata) {
            return pa_context_set_source_volume_by_name(connection.Context(), entry.name.constData(), &entry.volume,
                                                        callback, userdata);
        });
    });
}

bool CPulseRecordMixer::ReadOutputVolume(OutputVolume& volume)
{
    volume = OutputVolume{QLatin1String(kPlaybackVolumeName), QLatin1String(kPlaybackVolumeDescription), kLevelMinimum,
                          kLevelMaximum, PlaybackVolume::Level()};
    return true;
}

bool CPulseRecordMixer::SetOutputVolume(int level)
{
    // Each open playback stream sets its own sink input; later streams open at the level.
    PlaybackVolume::SetLevel(level);
    return true;
}

QStringList CPulseRecordMixer::CaptureDeviceNames()
{
    QStringList names;
    WithConnection([&names](CPulseConnection& connection) {
        std::vector<DeviceEntry> entries;
        if (!ReadSources(connection, entries)) {
            return false;
        }
        for (const DeviceEntry& entry : entries) {
            names.append(entry.description);
        }
        return true;
    });
    return names;
}

#pragma once

#include "platform/audio/RecordMixer.h"

#include <memory>

class CMemoryAudioBackend;

// The in-memory sound card's mixer: its source list, default source and speakers.
class CMemoryRecordMixer : public RecordMixer
{
public:
    explicit CMemoryRecordMixer(std::shared_ptr<CMemoryAudioBackend> backend);

    bool EnumerateSources(std::vector<RecordSource>& sources) override;
    int SelectedSource() override;
    bool SelectSource(int index) override;
    bool SetSourceLevel(int index, int level) override;
    bool ReadOutputVolume(OutputVolume& volume) override;
    bool SetOutputVolume(int level) override;
    QStringList CaptureDeviceNames() override;

private:
    std::shared_ptr<CMemoryAudioBackend> m_backend;
};

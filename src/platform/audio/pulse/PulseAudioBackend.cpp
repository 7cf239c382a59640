#include "platform/audio/pulse/PulseAudioBackend.h"

#include "platform/audio/pulse/PulseCapture.h"
#include "platform/audio/pulse/PulsePlayback.h"
#include "platform/audio/pulse/PulseRecordMixer.h"

CPulseAudioBackend::CPulseAudioBackend(QString server)
    : m_server(std::move(server))
{}

std::unique_ptr<AudioCapture> CPulseAudioBackend::CreateCapture()
{
    return std::make_unique<CPulseCapture>(m_server);
}

std::unique_ptr<AudioPlayback> CPulseAudioBackend::CreatePlayback()
{
    return std::make_unique<CPulsePlayback>(m_server);
}

std::unique_ptr<RecordMixer> CPulseAudioBackend::CreateRecordMixer()
{
    return std::make_unique<CPulseRecordMixer>(m_server);
}

#include "audio/TranscodeContext.h"

#include "audio/TranscodeOwner.h"
#include "codec/MediaLength.h"
#include "codec/MemoryByteSource.h"
#include "codec/Mp3Decoding.h"

namespace
{
constexpr std::int64_t kMillisecondsPerSecond = 1000;

std::unique_ptr<CTranscodeContext>& InstanceSlot()
{
    static std::unique_ptr<CTranscodeContext> instance;
    return instance;
}
} // namespace

CTranscodeContext::~CTranscodeContext()
{
    if (encoder) {
        encoder->Finish();
    }
}

bool CTranscodeContext::EnsureEncoder(int chunkBytes)
{
    if (encoder) {
        return true;
    }
    auto created = std::make_unique<CMp3StreamEncoder>();
    created->SetFormat(format);
    created->SetOutputPath(outputPath);
    created->SetBitrate(bitrateKbps);
    created->SetVbrQuality(vbrQuality);
    if (!created->Open(chunkBytes < 0 ? 0 : chunkBytes)) {
        encoderError = created->LastError();
        return false;
    }
    encoderError = CMp3StreamEncoder::Error::None;
    pcmBuffer.assign(static_cast<std::size_t>(created->ChunkBytes()), 0);
    encoder = std::move(created);
    return true;
}

void CTranscodeContext::SetDurationFromFile(const QString& path)
{
    durationSeconds = static_cast<std::int32_t>(CMediaLength::QueryLength(path) / kMillisecondsPerSecond);
    if (owner) {
        owner->SetCurrentFileRange(durationSeconds);
    }
}

CTranscodeContext& CTranscodeContext::Instance()
{
    auto& slot = InstanceSlot();
    if (!slot) {
        slot = std::make_unique<CTranscodeContext>();
    }
    return *slot;
}

CTranscodeContext* CTranscodeContext::Existing()
{
    return InstanceSlot().get();
}

void CTranscodeContext::DestroyInstance()
{
    InstanceSlot().reset();
}

int DecodeMp3AndFinishEncoder(CByteSource& source, FrameSink& sink)
{
    const int result = DecodeMp3(source, sink);
    if (auto* context = CTranscodeContext::Existing(); context && context->encoder) {
        context->encoder->Finish();
    }
    return result;
}

int DecodeMp3BufferAndFinishEncoder(const std::uint8_t* data, std::size_t length, FrameSink& sink)
{
    CMemoryByteSource source(data, length);
    return DecodeMp3AndFinishEncoder(source, sink);
}

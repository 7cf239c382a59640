#pragma once

#include "platform/lame_enc/BladeEncApi.h"

#include <QString>
#include <memory>

// The entry points of the encoder library as resolved from one loaded copy.
struct LameEntryPoints
{
    BeInitStreamFn initStream = nullptr;
    BeEncodeChunkFn encodeChunk = nullptr;
    BeDeinitStreamFn deinitStream = nullptr;
    BeCloseStreamFn closeStream = nullptr;
    BeVersionFn version = nullptr;
    BeWriteVbrHeaderFn writeVbrHeader = nullptr;
    BeWriteInfoTagFn writeInfoTag = nullptr;

    bool HasStreamEntryPoints() const { return initStream && encodeChunk && deinitStream && closeStream; }
    // The library counts as loaded when everything but the optional info-tag call is there.
    bool IsComplete() const { return HasStreamEntryPoints() && version && writeVbrHeader; }
};

// One dlopen reference to liblame_enc.so, released when the object goes.
class CLameLibrary
{
    struct PrivateTag
    {
        explicit PrivateTag() = default;
    };

public:
    static constexpr const char* kFileName = "liblame_enc.so";

    // Loads from overridePath when it is given; otherwise beside the executable first, then
    // wherever the system's library search finds it. nullptr when no copy could be loaded.
    static std::unique_ptr<CLameLibrary> Load(const QString& overridePath);

    ~CLameLibrary();
    CLameLibrary(const CLameLibrary&) = delete;
    CLameLibrary& operator=(const CLameLibrary&) = delete;

    const LameEntryPoints& EntryPoints() const { return m_entryPoints; }

    // Only through Load, which owns the dlopen that handle came from.
    CLameLibrary(PrivateTag, void* handle);

private:
    void* m_handle;
    LameEntryPoints m_entryPoints;
};

#include "BladeEncApi.h"

#include "LameStream.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#define BE_EXPORT __attribute__((visibility("default")))

namespace
{
constexpr std::uint8_t kLibraryMajor = 1;
constexpr std::uint8_t kLibraryMinor = 0;
constexpr std::uint8_t kReleaseDay = 1;
constexpr std::uint8_t kReleaseMonth = 1;
constexpr std::uint16_t kReleaseYear = 2025;

// Handles are numbers, never pointers, so a stale or made-up handle is refused instead of
// being dereferenced. A stream in use stays alive until its call returns even if another
// thread closes it meanwhile.
class StreamTable
{
public:
    static StreamTable& Instance()
    {
        static StreamTable table;
        return table;
    }

    BeStreamHandle Add(std::unique_ptr<CLameStream> stream)
    {
        std::lock_guard lock(m_mutex);
        const BeStreamHandle handle = m_nextHandle++;
        m_streams.emplace(handle, std::shared_ptr<CLameStream>(std::move(stream)));
        return handle;
    }

    std::shared_ptr<CLameStream> Find(BeStreamHandle handle)
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_streams.find(handle);
        return it == m_streams.end() ? nullptr : it->second;
    }

    bool Remove(BeStreamHandle handle)
    {
        std::shared_ptr<CLameStream> released;
        std::lock_guard lock(m_mutex);
        const auto it = m_streams.find(handle);
        if (it == m_streams.end()) {
            return false;
        }
        released = std::move(it->second);
        m_streams.erase(it);
        return true;
    }

private:
    std::mutex m_mutex;
    std::map<BeStreamHandle, std::shared_ptr<CLameStream>> m_streams;
    BeStreamHandle m_nextHandle = 1;
};

bool FileExists(const char* path)
{
    if (path == nullptr) {
        return false;
    }
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) {
        return false;
    }
    std::fclose(file);
    return true;
}
} // namespace

extern "C" {

BE_EXPORT BeError beInitStream(const void* config, uint32_t* samplesPerChunk, uint32_t* outputBufferSize,
                               BeStreamHandle* stream)
{
    if (config == nullptr || samplesPerChunk == nullptr || outputBufferSize == nullptr || stream == nullptr) {
        return kBeInvalidParameters;
    }
    *stream = 0;
    BeError error = kBeOk;
    std::unique_ptr<CLameStream> created = CLameStream::Create(static_cast<const std::uint8_t*>(config), error);
    if (!created) {
        return error;
    }
    *samplesPerChunk = created->SamplesPerChunk();
    *outputBufferSize = created->OutputBufferSize();
    *stream = StreamTable::Instance().Add(std::move(created));
    return kBeOk;
}

BE_EXPORT BeError beEncodeChunk(BeStreamHandle stream, uint32_t sampleCount, const int16_t* samples, uint8_t* output,
                                uint32_t* produced)
{
    if (produced == nullptr) {
        return kBeInvalidParameters;
    }
    *produced = 0;
    const std::shared_ptr<CLameStream> found = StreamTable::Instance().Find(stream);
    if (!found) {
        return kBeInvalidHandle;
    }
    return found->Encode(sampleCount, samples, output, *produced);
}

BE_EXPORT BeError beDeinitStream(BeStreamHandle stream, uint8_t* output, uint32_t* produced)
{
    if (produced == nullptr) {
        return kBeInvalidParameters;
    }
    *produced = 0;
    const std::shared_ptr<CLameStream> found = StreamTable::Instance().Find(stream);
    if (!found) {
        return kBeInvalidHandle;
    }
    return found->Flush(output, *produced);
}

BE_EXPORT BeError beCloseStream(BeStreamHandle stream)
{
    return StreamTable::Instance().Remove(stream) ? kBeOk : kBeInvalidHandle;
}

BE_EXPORT void beVersion(BeVersionInfo* version)
{
    if (version == nullptr) {
        return;
    }
    std::memset(version, 0, sizeof(*version));
    lame_version_t engine{};
    get_lame_version_numerical(&engine);
    version->libraryMajor = kLibraryMajor;
    version->libraryMinor = kLibraryMinor;
    version->engineMajor = static_cast<uint8_t>(engine.major);
    version->engineMinor = static_cast<uint8_t>(engine.minor);
    version->buildDay = kReleaseDay;
    version->buildMonth = kReleaseMonth;
    version->buildYear = kReleaseYear;
    std::snprintf(version->homepage, sizeof(version->homepage), "%s", get_lame_url());
}

BE_EXPORT BeError beWriteVBRHeader(const char* mp3Path)
{
    return FileExists(mp3Path) ? kBeOk : kBeFileError;
}

BE_EXPORT BeError beWriteInfoTag(BeStreamHandle stream, const char* mp3Path)
{
    const std::shared_ptr<CLameStream> found = StreamTable::Instance().Find(stream);
    if (!found) {
        return kBeInvalidHandle;
    }
    const BeError result = found->WriteInfoTag(mp3Path);
    // The stream is released whatever became of the tag, as callers of this call expect.
    StreamTable::Instance().Remove(stream);
    return result;
}

} // extern "C"

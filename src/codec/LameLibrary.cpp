#include "codec/LameLibrary.h"

#include "platform/ExecutableDirectory.h"

#include <QFile>
#include <dlfcn.h>

namespace
{
void* OpenShared(const QByteArray& name)
{
    return ::dlopen(name.constData(), RTLD_NOW | RTLD_LOCAL);
}

template <typename Function>
Function Resolve(void* handle, const char* name)
{
    return reinterpret_cast<Function>(::dlsym(handle, name));
}
} // namespace

std::unique_ptr<CLameLibrary> CLameLibrary::Load(const QString& overridePath)
{
    void* handle = nullptr;
    if (!overridePath.isEmpty()) {
        handle = OpenShared(QFile::encodeName(overridePath));
    } else {
        handle = OpenShared(QFile::encodeName(ExecutableDirectory() + QLatin1Char('/') + QLatin1String(kFileName)));
        if (handle == nullptr) {
            handle = OpenShared(QByteArray(kFileName));
        }
    }
    if (handle == nullptr) {
        return nullptr;
    }
    return std::make_unique<CLameLibrary>(PrivateTag{}, handle);
}

CLameLibrary::CLameLibrary(PrivateTag, void* handle)
    : m_handle(handle)
{
    m_entryPoints.initStream = Resolve<BeInitStreamFn>(handle, "beInitStream");
    m_entryPoints.encodeChunk = Resolve<BeEncodeChunkFn>(handle, "beEncodeChunk");
    m_entryPoints.deinitStream = Resolve<BeDeinitStreamFn>(handle, "beDeinitStream");
    m_entryPoints.closeStream = Resolve<BeCloseStreamFn>(handle, "beCloseStream");
    m_entryPoints.version = Resolve<BeVersionFn>(handle, "beVersion");
    m_entryPoints.writeVbrHeader = Resolve<BeWriteVbrHeaderFn>(handle, "beWriteVBRHeader");
    m_entryPoints.writeInfoTag = Resolve<BeWriteInfoTagFn>(handle, "beWriteInfoTag");
}

CLameLibrary::~CLameLibrary()
{
    ::dlclose(m_handle);
}

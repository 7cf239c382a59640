#pragma once

#include "audio/TranscodeContext.h"

// Ends the running operation's shared state (finishing any open encoder) however the
// processing of a file ends.
class CTranscodeContextScope
{
public:
    CTranscodeContextScope() = default;
    ~CTranscodeContextScope() { CTranscodeContext::DestroyInstance(); }
    CTranscodeContextScope(const CTranscodeContextScope&) = delete;
    CTranscodeContextScope& operator=(const CTranscodeContextScope&) = delete;
};

#pragma once

#include "platform/audio/pulse/PulseMainLoop.h"

// Holds a main loop's lock for a scope. The lock is recursive, so nesting is fine; never from
// inside a PulseAudio callback, which already holds it.
class CPulseLock
{
public:
    explicit CPulseLock(CPulseMainLoop& loop)
        : m_loop(loop)
    {
        m_loop.Lock();
    }
    ~CPulseLock() { m_loop.Unlock(); }

    CPulseLock(const CPulseLock&) = delete;
    CPulseLock& operator=(const CPulseLock&) = delete;

private:
    CPulseMainLoop& m_loop;
};

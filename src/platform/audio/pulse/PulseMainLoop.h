#pragma once

struct pa_threaded_mainloop;
struct pa_mainloop_api;

// Owns a PulseAudio threaded main loop: its thread runs every callback of the connection.
// Everything that touches PulseAudio objects from another thread holds the loop's lock
// (CPulseLock); callbacks already run with it held and must never take it.
class CPulseMainLoop
{
public:
    CPulseMainLoop();
    ~CPulseMainLoop();

    CPulseMainLoop(const CPulseMainLoop&) = delete;
    CPulseMainLoop& operator=(const CPulseMainLoop&) = delete;

    bool IsValid() const { return m_loop != nullptr; }
    bool Start();
    // Stops and joins the loop thread; no callback runs afterwards. Not from a callback.
    void Stop();

    void Lock();
    void Unlock();
    // Wakes every thread blocked in Wait; called from callbacks.
    void Signal();
    // Releases the lock until Signal; the caller holds the lock.
    void Wait();
    bool InLoopThread() const;

    pa_mainloop_api* Api() const;

private:
    pa_threaded_mainloop* m_loop = nullptr;
    bool m_running = false;
};

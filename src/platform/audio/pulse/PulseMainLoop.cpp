#include "platform/audio/pulse/PulseMainLoop.h"

#include <pulse/thread-mainloop.h>

CPulseMainLoop::CPulseMainLoop()
    : m_loop(pa_threaded_mainloop_new())
{}

CPulseMainLoop::~CPulseMainLoop()
{
    Stop();
    if (m_loop) {
        pa_threaded_mainloop_free(m_loop);
    }
}

bool CPulseMainLoop::Start()
{
    if (!m_loop) {
        return false;
    }
    if (!m_running) {
        m_running = pa_threaded_mainloop_start(m_loop) >= 0;
    }
    return m_running;
}

void CPulseMainLoop::Stop()
{
    if (m_loop && m_running) {
        pa_threaded_mainloop_stop(m_loop);
        m_running = false;
    }
}

void CPulseMainLoop::Lock()
{
    pa_threaded_mainloop_lock(m_loop);
}

void CPulseMainLoop::Unlock()
{
    pa_threaded_mainloop_unlock(m_loop);
}

void CPulseMainLoop::Signal()
{
    pa_threaded_mainloop_signal(m_loop, 0);
}

void CPulseMainLoop::Wait()
{
    pa_threaded_mainloop_wait(m_loop);
}

bool CPulseMainLoop::InLoopThread() const
{
    return m_loop && pa_threaded_mainloop_in_thread(m_loop) != 0;
}

pa_mainloop_api* CPulseMainLoop::Api() const
{
    return m_loop ? pa_threaded_mainloop_get_api(m_loop) : nullptr;
}

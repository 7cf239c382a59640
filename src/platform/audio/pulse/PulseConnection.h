#pragma once

#include "platform/audio/pulse/PulseMainLoop.h"

#include <QByteArray>
#include <QString>
#include <chrono>
#include <functional>

struct pa_context;
struct pa_operation;
struct pa_stream;

// One client connection to a PulseAudio server: a threaded main loop and a context on it.
// Every wait is bounded, so a server that stops answering makes calls fail instead of hang.
// Except where noted, members are called with the loop's lock held (CPulseLock on Loop()).
class CPulseConnection
{
public:
    static constexpr std::chrono::milliseconds kConnectTimeout{5000};
    static constexpr std::chrono::milliseconds kOperationTimeout{5000};

    struct DefaultDevices
    {
        QByteArray sourceName; // empty when the server has no capture source
        QByteArray sinkName;   // empty when it has no output
    };

    // Runs on the loop thread once the connection fails or the server goes away after it was
    // ready. It must not take the loop's lock.
    using LostCallback = std::function<void()>;
    using SuccessStarter = std::function<pa_operation*(void (*)(pa_context*, int, void*), void*)>;
    using StreamSuccessStarter = std::function<pa_operation*(void (*)(pa_stream*, int, void*), void*)>;

    CPulseConnection();
    ~CPulseConnection();

    CPulseConnection(const CPulseConnection&) = delete;
    CPulseConnection& operator=(const CPulseConnection&) = delete;

    // Connects to `server` (empty: the default, which honours PULSE_SERVER) without ever
    // spawning a server. Called without the lock.
    bool Connect(const QString& server, const QString& clientName);
    bool IsReady() const;
    void SetLostCallback(LostCallback onLost);

    CPulseMainLoop& Loop() { return m_loop; }
    pa_context* Context() const { return m_context; }
    QString LastError() const;

    // Waits on the loop until `done` holds, the connection breaks or the time is up; true when
    // `done` holds. Callbacks that change what `done` looks at must Signal the loop.
    bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = kOperationTimeout);
    // Takes the operation, waits for it to finish and cancels it on time-out; true when it finished.
    bool Await(pa_operation* operation, std::chrono::milliseconds timeout = kOperationTimeout);
    // Runs an operation that answers through a success callback; true when the server did it.
    bool RunSuccessOperation(const SuccessStarter& start);
    bool RunStreamOperation(const StreamSuccessStarter& start);
    bool ReadDefaultDevices(DefaultDevices& devices);

private:
    static void OnContextState(pa_context* context, void* userdata);

    CPulseMainLoop m_loop;
    pa_context* m_context = nullptr;
    bool m_wasReady = false;
    LostCallback m_onLost;
    QString m_error;
};

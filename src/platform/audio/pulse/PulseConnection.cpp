#include "platform/audio/pulse/PulseConnection.h"

#include "platform/audio/pulse/PulseLock.h"
#include "platform/audio/pulse/PulseOperation.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop-api.h>
#include <pulse/rtclock.h>

namespace
{
struct TimeoutState
{
    CPulseMainLoop* loop = nullptr;
    bool expired = false;
};

void OnTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata)
{
    auto* state = static_cast<TimeoutState*>(userdata);
    state->expired = true;
    state->loop->Signal();
}

struct SuccessState
{
    CPulseMainLoop* loop = nullptr;
    bool succeeded = false;
};

void OnSuccess(pa_context*, int success, void* userdata)
{
    auto* state = static_cast<SuccessState*>(userdata);
    state->succeeded = success != 0;
    state->loop->Signal();
}

void OnStreamSuccess(pa_stream*, int success, void* userdata)
{
    OnSuccess(nullptr, success, userdata);
}

struct ServerInfoState
{
    CPulseMainLoop* loop = nullptr;
    bool answered = false;
    CPulseConnection::DefaultDevices devices;
};

void OnServerInfo(pa_context*, const pa_server_info* info, void* userdata)
{
    auto* state = static_cast<ServerInfoState*>(userdata);
    if (info) {
        state->devices.sourceName = info->default_source_name ? QByteArray(info->default_source_name) : QByteArray();
        state->devices.sinkName = info->default_sink_name ? QByteArray(info->default_sink_name) : QByteArray();
        state->answered = true;
    }
    state->loop->Signal();
}
} // namespace

CPulseConnection::CPulseConnection() = default;

CPulseConnection::~CPulseConnection()
{
    if (m_context) {
        {
            CPulseLock lock(m_loop);
            pa_context_set_state_callback(m_context, nullptr, nullptr);
            pa_context_disconnect(m_context);
        }
        m_loop.Stop();
        pa_context_unref(m_context);
    }
}

bool CPulseConnection::Connect(const QString& server, const QString& clientName)
{
    if (m_context || !m_loop.IsValid()) {
        return false;
    }
    m_context = pa_context_new(m_loop.Api(), clientName.toUtf8().constData());
    if (!m_context) {
        m_error = QStringLiteral("cannot create a PulseAudio context");
        return false;
    }
    pa_context_set_state_callback(m_context, &CPulseConnection::OnContextState, this);
    const QByteArray serverName = server.toUtf8();
    if (pa_context_connect(m_context, server.isEmpty() ? nullptr : serverName.constData(), PA_CONTEXT_NOAUTOSPAWN,
                           nullptr) < 0) {
        m_error = LastError();
        return false;
    }
    if (!m_loop.Start()) {
        m_error = QStringLiteral("cannot start the PulseAudio main loop");
        return false;
    }
    CPulseLock lock(m_loop);
    const bool ready = WaitFor([this] { return pa_context_get_state(m_context) == PA_CONTEXT_READY; }, kConnectTimeout);
    if (!ready) {
        m_error = QStringLiteral("no sound server: %1").arg(LastError());
    }
    return ready;
}

void CPulseConnection::OnContextState(pa_context* context, void* userdata)
{
    auto* self = static_cast<CPulseConnection*>(userdata);
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_READY) {
        self->m_wasReady = true;
    } else if (!PA_CONTEXT_IS_GOOD(state) && self->m_wasReady && self->m_onLost) {
        self->m_onLost();
    }
    self->m_loop.Signal();
}

bool CPulseConnection::IsReady() const
{
    return m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY;
}

void CPulseConnection::SetLostCallback(LostCallback onLost)
{
    m_onLost = std::move(onLost);
}

QString CPulseConnection::LastError() const
{
    if (!m_context) {
        return m_error;
    }
    return QString::fromUtf8(pa_strerror(pa_context_errno(m_context)));
}

bool CPulseConnection::WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    if (!m_context) {
        return false;
    }
    TimeoutState timer{&m_loop, false};
    const auto timeoutUsec = static_cast<pa_usec_t>(std::chrono::microseconds(timeout).count());
    pa_time_event* event = pa_context_rttime_new(m_context, pa_rtclock_now() + timeoutUsec, &OnTimeout, &timer);
    bool satisfied = done();
    while (!satisfied && !timer.expired && PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context))) {
        m_loop.Wait();
        satisfied = done();
    }
    if (event) {
        m_loop.Api()->time_free(event);
    }
    return satisfied;
}

bool CPulseConnection::Await(pa_operation* operation, std::chrono::milliseconds timeout)
{
    CPulseOperation owned(operation);
    if (!owned) {
        return false;
    }
    const bool finished = WaitFor([&owned] { return !owned.IsRunning(); }, timeout);
    if (!finished) {
        // After the cancel its callback cannot run, so the caller's result state may go away.
        owned.Cancel();
    }
    return finished && pa_operation_get_state(owned.Get()) == PA_OPERATION_DONE;
}

bool CPulseConnection::RunSuccessOperation(const SuccessStarter& start)
{
    if (!IsReady()) {
        return false;
    }
    SuccessState state{&m_loop, false};
    return Await(start(&OnSuccess, &state)) && state.succeeded;
}

bool CPulseConnection::RunStreamOperation(const StreamSuccessStarter& start)
{
    if (!IsReady()) {
        return false;
    }
    SuccessState state{&m_loop, false};
    return Await(start(&OnStreamSuccess, &state)) && state.succeeded;
}

bool CPulseConnection::ReadDefaultDevices(DefaultDevices& devices)
{
    if (!IsReady()) {
        return false;
    }
    ServerInfoState state{&m_loop, false, {}};
    if (!Await(pa_context_get_server_info(m_context, &OnServerInfo, &state)) || !state.answered) {
        return false;
    }
    devices = state.devices;
    return true;
}

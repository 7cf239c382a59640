#include "platform/audio/pulse/PulseOperation.h"

#include <pulse/operation.h>
#include <utility>

CPulseOperation::CPulseOperation(CPulseOperation&& other) noexcept
    : m_operation(std::exchange(other.m_operation, nullptr))
{}

CPulseOperation& CPulseOperation::operator=(CPulseOperation&& other) noexcept
{
    if (this != &other) {
        Reset(std::exchange(other.m_operation, nullptr));
    }
    return *this;
}

bool CPulseOperation::IsRunning() const
{
    return m_operation && pa_operation_get_state(m_operation) == PA_OPERATION_RUNNING;
}

void CPulseOperation::Cancel()
{
    if (IsRunning()) {
        pa_operation_cancel(m_operation);
    }
}

void CPulseOperation::Reset(pa_operation* operation)
{
    if (m_operation) {
        pa_operation_unref(m_operation);
    }
    m_operation = operation;
}

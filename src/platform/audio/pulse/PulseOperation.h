#pragma once

struct pa_operation;

// Owns one reference to a PulseAudio operation. Dropping it does not cancel the operation.
class CPulseOperation
{
public:
    CPulseOperation() = default;
    explicit CPulseOperation(pa_operation* operation)
        : m_operation(operation)
    {}
    ~CPulseOperation() { Reset(); }

    CPulseOperation(CPulseOperation&& other) noexcept;
    CPulseOperation& operator=(CPulseOperation&& other) noexcept;
    CPulseOperation(const CPulseOperation&) = delete;
    CPulseOperation& operator=(const CPulseOperation&) = delete;

    explicit operator bool() const { return m_operation != nullptr; }
    pa_operation* Get() const { return m_operation; }
    bool IsRunning() const;
    // Stops the operation's callback from being called; the caller holds the loop lock.
    void Cancel();
    void Reset(pa_operation* operation = nullptr);

private:
    pa_operation* m_operation = nullptr;
};

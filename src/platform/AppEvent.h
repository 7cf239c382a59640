#pragma once

#include <QEvent>
#include <cstdint>

class QObject;

// Sorvane's private window messages travel as QEvents whose type numbers are the message
// numbers, so every receiver can switch on the same fixed values the windows always used.
namespace AppEventType
{
constexpr int kJobProgress = 0x420;     // running job -> its progress dialog
constexpr int kListenSeek = 0x440;      // listen panel -> itself
constexpr int kSourceSelected = 0x488;  // round radio button -> its parent
constexpr int kSilenceNewFile = 0x500;  // monitor -> main window
constexpr int kClipMode = 0x4C8;        // clip player -> listen panel: new mode
constexpr int kClipPosition = 0x4C9;    // clip player -> listen panel: position in ms
constexpr int kEditChangeBegin = 0x888; // numeric spin edit -> owner
constexpr int kEditValueChanged = 0x889;
constexpr int kEditChangeEnd = 0x88A;
constexpr int kCommand = 0x111; // a command id for the window's dispatcher
} // namespace AppEventType

class CAppEvent : public QEvent
{
public:
    CAppEvent(int type, std::intptr_t wParam, std::intptr_t lParam);

    std::intptr_t WParam() const { return m_wParam; }
    std::intptr_t LParam() const { return m_lParam; }

    // Queues the event for the receiver's thread and returns at once; never blocks the caller.
    static void Post(QObject* receiver, int type, std::intptr_t wParam = 0, std::intptr_t lParam = 0);
    // Delivers the event on the calling thread, as a sent message would be.
    static bool Send(QObject* receiver, int type, std::intptr_t wParam = 0, std::intptr_t lParam = 0);

private:
    std::intptr_t m_wParam;
    std::intptr_t m_lParam;
};

#pragma once

#include "platform/AppEvent.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QObject>
#include <QTemporaryDir>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

// Helpers shared by the clip player and listen panel tests.
namespace ClipTest
{
// Once per test process: a private Data folder and an application object for posted events.
inline void PrepareProcess()
{
    static const std::unique_ptr<QTemporaryDir> dataFolder = [] {
        auto folder = std::make_unique<QTemporaryDir>();
        qputenv("SORVANE_DATA_DIR", folder->path().toLocal8Bit());
        return folder;
    }();
    static int argc = 1;
    static char name[] = "clip_test";
    static char* argv[] = {name, nullptr};
    // Initialised in place, so it goes at exit before the Qt internals it made on the way.
    static const std::unique_ptr<QCoreApplication> application =
        QCoreApplication::instance() ? nullptr : std::make_unique<QCoreApplication>(argc, argv);
}

// A hang guard for waits on the player's thread and the sound server, not a speed requirement.
constexpr std::chrono::milliseconds kHangGuard{20000};

// Stands in for a player's parent window: keeps every mode and position report in order.
class CReportLog : public QObject
{
public:
    struct Report
    {
        int type = 0;
        std::intptr_t windowId = 0;
        std::intptr_t value = 0;
    };

    std::vector<Report> reports;

    std::vector<int> Modes() const
    {
        std::vector<int> modes;
        for (const Report& report : reports) {
            if (report.type == AppEventType::kClipMode) {
                modes.push_back(int(report.value));
            }
        }
        return modes;
    }
    std::vector<std::intptr_t> Positions() const
    {
        std::vector<std::intptr_t> positions;
        for (const Report& report : reports) {
            if (report.type == AppEventType::kClipPosition) {
                positions.push_back(report.value);
            }
        }
        return positions;
    }

protected:
    bool event(QEvent* event) override
    {
        if (event->type() == AppEventType::kClipMode || event->type() == AppEventType::kClipPosition) {
            const auto* report = static_cast<const CAppEvent*>(event);
            reports.push_back({int(event->type()), report->WParam(), report->LParam()});
            return true;
        }
        return QObject::event(event);
    }
};

// Runs the event loop until `done` holds; false when the hang guard ran out first.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds guard = kHangGuard)
{
    const QDeadlineTimer deadline(guard);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
} // namespace ClipTest

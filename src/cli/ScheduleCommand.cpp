#include "cli/ScheduleCommand.h"

#include "app/RecordSettings.h"
#include "cli/CliArguments.h"
#include "cli/CliOutput.h"
#include "cli/CliRecordingSession.h"
#include "record/ScheduleCheck.h"

#include <QCoreApplication>
#include <QTimeZone>

namespace
{
constexpr const char* kTimeFormat = "HH:mm:ss";

QString TimeOfDay(std::uint32_t secondsSince1970)
{
    return ScheduleCheck::LocalTimeOfDay(secondsSince1970, QTimeZone::systemTimeZone())
        .toString(QLatin1String(kTimeFormat));
}
} // namespace

int CScheduleCommand::Run(const QStringList& arguments)
{
    CCliArguments args({QStringLiteral("source")}, {});
    if (!args.Parse(arguments)) {
        return UsageError(args.ErrorText());
    }
    if (!args.Positional().isEmpty()) {
        return UsageError(QStringLiteral("schedule takes no file arguments"));
    }
    if (!QCoreApplication::instance()) {
        return Fail(QStringLiteral("schedule needs the program's event loop"));
    }
    const std::vector<ScheduleEntry>& entries = CRecordSettings::Instance().Schedule();
    if (entries.empty()) {
        return Fail(QStringLiteral("the daily timetable is empty; set it up in Sorvane's \"Time Record Setup\""));
    }

    CCliRecordingSession session;
    if (!session.Prepare(args.Value(QStringLiteral("source")))) {
        return kExitFailure;
    }
    CRecordingController& controller = session.Controller();

    for (const ScheduleEntry& entry : entries) {
        CCliOutput::Notice(QStringLiteral("daily: %1 - %2").arg(TimeOfDay(entry.start), TimeOfDay(entry.end)));
    }
    controller.SetScheduleActive(true);
    const bool ok = session.Exec();
    controller.SetScheduleActive(false);
    controller.Stop();
    return ok ? kExitSuccess : kExitFailure;
}

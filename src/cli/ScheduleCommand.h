#pragma once

#include "cli/CliCommand.h"

// Runs the stored daily timetable without a window until Ctrl+C or SIGTERM: each window's
// start begins a recording, its end stops and files it. The unattended radio recorder.
class CScheduleCommand : public CCliCommand
{
public:
    QString Name() const override { return QStringLiteral("schedule"); }
    QString Synopsis() const override { return QStringLiteral("[--source NAME]"); }
    QString Summary() const override
    {
        return QStringLiteral("record by the daily timetable of the settings until Ctrl+C or SIGTERM");
    }
    int Run(const QStringList& arguments) override;
};

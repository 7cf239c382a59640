#pragma once

#include "cli/CliCommand.h"

// Records from the capture source into MP3 through the recording controller, with the
// settings' format, bit rate, save directory and silence detector, until Ctrl+C, SIGTERM,
// --seconds or the silence detector ends it; the file is then filed as the Stop command does.
class CRecordCommand : public CCliCommand
{
public:
    QString Name() const override { return QStringLiteral("record"); }
    QString Synopsis() const override
    {
        return QStringLiteral("[--seconds N] [--file NAME] [--source NAME] [--folder DIR]");
    }
    QString Summary() const override
    {
        return QStringLiteral("record into the save directory (or DIR) until Ctrl+C (or N seconds), filed as NAME");
    }
    int Run(const QStringList& arguments) override;
};

#pragma once

#include "cli/CliCommand.h"

// Prints a file's playing time, its first frame's bit rate (MP3) or format (WAV), which tags it
// carries and their fields; with --json, the same as one JSON object.
class CInfoCommand : public CCliCommand
{
public:
    QString Name() const override { return QStringLiteral("info"); }
    QString Synopsis() const override { return QStringLiteral("FILE [--json]"); }
    QString Summary() const override
    {
        return QStringLiteral("playing time, bit rate, format and tags of a file (--json: as one JSON object)");
    }
    int Run(const QStringList& arguments) override;
};

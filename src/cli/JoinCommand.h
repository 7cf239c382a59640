#pragma once

#include "cli/CliCommand.h"

// Joins MP3 files, in order, into one MP3 file in the settings' record format.
class CJoinCommand : public CCliCommand
{
public:
    QString Name() const override { return QStringLiteral("join"); }
    QString Synopsis() const override { return QStringLiteral("OUT.mp3 FILE... [--bitrate K] [--force]"); }
    QString Summary() const override
    {
        return QStringLiteral("join MP3 files into one (K in kbps, default the first file's bit rate)");
    }
    int Run(const QStringList& arguments) override;
};

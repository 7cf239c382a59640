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
    QString Details() const override
    {
        return QStringLiteral("  --bitrate K  MP3 bit rate in kbps (default: the first file's)\n"
                              "  --force      replace OUT.mp3 when it exists\n"
                              "The output takes the sample rate and channels of the record format in the settings.\n");
    }
    int Run(const QStringList& arguments) override;
};

#pragma once

#include "cli/CliCommand.h"

// Re-encodes MP3 files in place at another bit rate and volume; a file is only replaced once
// its new version is complete.
class CReencodeCommand : public CCliCommand
{
public:
    QString Name() const override { return QStringLiteral("reencode"); }
    QString Synopsis() const override { return QStringLiteral("FILE.mp3... (--bitrate K | --vbr N) [--volume V]"); }
    QString Summary() const override
    {
        return QStringLiteral(
            "re-encode MP3 files in place (K in kbps or VBR level N 0-9, V from 0.1 to 10.0, default 1.0)");
    }
    QString Details() const override;
    int Run(const QStringList& arguments) override;
};

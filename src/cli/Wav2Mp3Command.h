#pragma once

#include "cli/CliCommand.h"

// WAV to MP3 through the conversion job, optionally only a byte range of the sample data.
class CWav2Mp3Command : public CCliCommand
{
public:
    QString Name() const override { return QStringLiteral("wav2mp3"); }
    QString Synopsis() const override
    {
        return QStringLiteral("IN.wav OUT.mp3 [--start B --end B | --from S --to S] [--bitrate K | --vbr N] [--force]");
    }
    QString Summary() const override
    {
        return QStringLiteral("convert a WAV file, or a part of it (bytes B to B or seconds S to S), to MP3");
    }
    QString Details() const override;
    int Run(const QStringList& arguments) override;
};

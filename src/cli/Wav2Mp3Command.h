#pragma once

#include "cli/CliCommand.h"

// WAV to MP3 through the conversion job, optionally only a byte range of the sample data.
class CWav2Mp3Command : public CCliCommand
{
public:
    QString Name() const override { return QStringLiteral("wav2mp3"); }
    QString Synopsis() const override
    {
        return QStringLiteral("IN.wav OUT.mp3 [--start B --end B] [--bitrate K] [--force]");
    }
    QString Summary() const override
    {
        return QStringLiteral("convert a WAV file, or the sample bytes B to B of it, to MP3 (K in kbps)");
    }
    int Run(const QStringList& arguments) override;
};

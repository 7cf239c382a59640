#pragma once

#include "cli/CliCommand.h"

// WAV to MP3 through the MP3 encoder, one chunk at a time.
class CEncodeCommand : public CCliCommand
{
public:
    QString Name() const override { return QStringLiteral("encode"); }
    QString Synopsis() const override { return QStringLiteral("IN.wav OUT.mp3 [--bitrate K | --vbr N] [--force]"); }
    QString Summary() const override
    {
        return QStringLiteral("encode a WAV file as MP3 (K in kbps or VBR level N 0-9, default from the settings)");
    }
    QString Details() const override
    {
        return QStringLiteral("  --bitrate K  MP3 bit rate in kbps\n"
                              "  --vbr N      variable bit rate at LAME's level N, 0 (best) to 9 (smallest)\n"
                              "  --force      replace OUT.mp3 when it exists\n");
    }
    int Run(const QStringList& arguments) override;
};

#pragma once

#include "cli/CliCommand.h"

// MP3 to WAV through the decoding driver and the WAV writer.
class CDecodeCommand : public CCliCommand
{
public:
    QString Name() const override { return QStringLiteral("decode"); }
    QString Synopsis() const override { return QStringLiteral("IN.mp3 OUT.wav [--force]"); }
    QString Summary() const override { return QStringLiteral("decode an MP3 file to a 16-bit PCM WAV file"); }
    QString Details() const override { return QStringLiteral("  --force  replace OUT.wav when it exists\n"); }
    int Run(const QStringList& arguments) override;
};

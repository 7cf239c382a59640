#pragma once

#include "cli/CliCommand.h"

// Prints a file's playing time, its first frame's bit rate (MP3) or format (WAV), and its tag.
class CInfoCommand : public CCliCommand
{
public:
    QString Name() const override { return QStringLiteral("info"); }
    QString Synopsis() const override { return QStringLiteral("FILE"); }
    QString Summary() const override { return QStringLiteral("playing time, bit rate and ID3v1 tag of a file"); }
    int Run(const QStringList& arguments) override;
};

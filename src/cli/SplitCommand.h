#pragma once

#include "cli/CliCommand.h"

// Cuts MP3 files into parts of equal playing time ("name_1.mp3", "name_2.mp3" ... beside each).
class CSplitCommand : public CCliCommand
{
public:
    QString Name() const override { return QStringLiteral("split"); }
    QString Synopsis() const override { return QStringLiteral("FILE... --parts N [--volume V] [--force]"); }
    QString Summary() const override
    {
        return QStringLiteral("cut MP3 files into N parts of equal playing time (N 2-100, V 0.1-10.0)");
    }
    QString Details() const override;
    int Run(const QStringList& arguments) override;
};

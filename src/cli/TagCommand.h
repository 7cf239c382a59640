#pragma once

#include "cli/CliCommand.h"

// Sets, changes or removes the ID3v1 tag of an MP3 file. Fields not given keep their value.
class CTagCommand : public CCliCommand
{
public:
    QString Name() const override { return QStringLiteral("tag"); }
    QString Synopsis() const override
    {
        return QStringLiteral("FILE [--title T] [--artist A] [--album B] [--year Y] [--comment C] "
                              "[--track N] [--genre G] | FILE --remove");
    }
    QString Summary() const override { return QStringLiteral("write or remove the ID3v1 tag of an MP3 file"); }
    int Run(const QStringList& arguments) override;
};

#pragma once

#include "cli/CliCommand.h"

// Sets, changes or removes the tags of an MP3 file: the same fields go into its ID3v2 tag (added
// when there is none), an APE tag when there is one, and its ID3v1 tag. Fields not given keep
// their value; --remove removes all three tags.
class CTagCommand : public CCliCommand
{
public:
    QString Name() const override { return QStringLiteral("tag"); }
    QString Synopsis() const override
    {
        return QStringLiteral("FILE [--title T] [--artist A] [--album B] [--year Y] [--comment C] "
                              "[--track N] [--genre G] | FILE --remove");
    }
    QString Summary() const override
    {
        return QStringLiteral("write or remove the ID3v2 and ID3v1 tags of an MP3 file");
    }
    int Run(const QStringList& arguments) override;
};

#pragma once

#include "cli/CliCommand.h"

// Records from the capture source into MP3 through the recording controller, with the
// settings' format, bit rate, save directory and silence detector (the options may change rate,
// bit rate and folder for the run), until Ctrl+C, SIGTERM, --seconds or the silence detector
// ends it; the file is then filed as the Stop command does.
class CRecordCommand : public CCliCommand
{
public:
    QString Name() const override { return QStringLiteral("record"); }
    QString Synopsis() const override
    {
        return QStringLiteral(
            "[--seconds N] [--file NAME] [--source NAME] [--folder DIR] [--rate HZ] [--bitrate K | --vbr V]");
    }
    QString Summary() const override
    {
        return QStringLiteral("record into the save directory (or DIR) until Ctrl+C (or N seconds), filed as NAME");
    }
    QString Details() const override
    {
        return QStringLiteral("  --seconds N    stop after N seconds of sound (a stop signal before that exits 130)\n"
                              "  --file NAME    file the recording as NAME in the save directory\n"
                              "  --source NAME  record from this capture source (its name or description)\n"
                              "  --folder DIR   save into DIR for this run\n"
                              "  --rate HZ      record at HZ for this run (8000 to 48000)\n"
                              "  --bitrate K    MP3 bit rate in kbps for this run, one the rate carries\n"
                              "  --vbr V        variable bit rate at LAME's level V, 0 (best) to 9, for this run\n"
                              "Ctrl+C or SIGTERM stops the recording and files it.\n");
    }
    int Run(const QStringList& arguments) override;

private:
    // --rate, --bitrate and --vbr into the settings for this run; an error text when refused.
    static QString ApplyFormatOptions(const CCliArguments& args);
};

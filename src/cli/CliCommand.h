#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class CCliArguments;

// One sorvane-cli command. Run returns the process exit code.
class CCliCommand
{
public:
    static constexpr int kExitSuccess = 0;
    static constexpr int kExitFailure = 1; // the input or the output could not be handled
    static constexpr int kExitUsage = 2;   // the command line itself is wrong

    virtual ~CCliCommand() = default;

    virtual QString Name() const = 0;
    virtual QString Synopsis() const = 0; // arguments, for the usage text
    virtual QString Summary() const = 0;  // one line
    virtual int Run(const QStringList& arguments) = 0;

protected:
    // One line on stderr: "sorvane-cli: MESSAGE".
    static int Fail(const QString& message, int exitCode = kExitFailure);
    int UsageError(const QString& message) const;
    static void Print(const QString& text);
    // A --bitrate value in kbps, or nothing when it is not a whole number in the encoder's range.
    static std::optional<int> ParseBitrate(const QString& text);
    static QString BitrateRangeText();
    // The --bitrate option into *bitrate, which keeps its value when the option is absent;
    // false when the option is there but no bit rate.
    static bool ReadBitrateOption(const CCliArguments& args, int* bitrate);
    // An error text when path is not an existing, readable regular file; empty when it is.
    static QString CheckInputFile(const QString& path);
    // True when the file holds MPEG audio frames and is not a RIFF file (a WAV's samples can
    // happen to look like a few frame headers).
    static bool IsMp3File(const QString& path);
    // An error text when the job may not write output: not a regular file, one of the inputs,
    // or an existing file while --force was not given; empty when it may.
    static QString CheckOutputFile(const QString& output, bool force, const QStringList& inputs);
    // The flag that lets an output replace an existing file.
    static QString ForceOption() { return QStringLiteral("force"); }
};

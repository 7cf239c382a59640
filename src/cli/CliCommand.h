#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>

class CCliArguments;
class CFileJob;
class CJobRunner;

// One sorvane-cli command. Run returns the process exit code.
class CCliCommand
{
public:
    static constexpr int kExitSuccess = 0;
    static constexpr int kExitFailure = 1;       // the input or the output could not be handled
    static constexpr int kExitUsage = 2;         // the command line itself is wrong
    static constexpr int kExitInterrupted = 130; // a stop signal cut the run short, as shells count it

    virtual ~CCliCommand() = default;

    virtual QString Name() const = 0;
    virtual QString Synopsis() const = 0; // arguments, for the usage text
    virtual QString Summary() const = 0;  // one line
    // What each argument and option means, for --help; one "  --option  meaning" line each.
    virtual QString Details() const { return {}; }
    virtual int Run(const QStringList& arguments) = 0;

    // The usage, summary and details: what `sorvane-cli NAME --help` prints.
    QString HelpText() const;
    // The sections every help text ends with.
    static QString CommonOptionsText();
    static QString ExitStatusText();

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
    // --bitrate KBPS or --vbr LEVEL (LAME's V0-V9) into the two values, which keep what they hold
    // when neither is given; --bitrate clears *vbrQuality. An error text for a bad value or both
    // options at once; empty when they were fine.
    static QString ReadRateChoice(const CCliArguments& args, int* bitrate, int* vbrQuality);
    static QString VbrOption() { return QStringLiteral("vbr"); }
    // An error text when path is not an existing, readable regular file ("cannot open a.mp3:
    // Permission denied"); empty when it is.
    static QString CheckInputFile(const QString& path);
    // True when the file holds MPEG audio frames and is not a RIFF file (a WAV's samples can
    // happen to look like a few frame headers).
    static bool IsMp3File(const QString& path);
    // An error text when the job may not write output: not a regular file, one of the inputs,
    // an existing file while --force was not given, or a folder where no file can be created
    // ("cannot create out.mp3: Permission denied"); empty when it may.
    static QString CheckOutputFile(const QString& output, bool force, const QStringList& inputs);
    // Why no new file can be made beside path (its folder missing, not writable, on a read-only
    // file system); empty when one can. Files written in place are rebuilt beside themselves.
    static QString CreateProblem(const QString& path, const QString& verb = QStringLiteral("create"));
    // The flag that lets an output replace an existing file.
    static QString ForceOption() { return QStringLiteral("force"); }

    // "FILE: N samples clipped" unless quiet and unless there were none.
    static void ReportClipping(const QString& file, std::uint64_t clippedSamples);
    // Runs a file job through runner with progress and Ctrl+C, prints its failures, and gives
    // the exit code; cancelledText says what a cancel left behind.
    static int RunFileJob(CFileJob& job, CJobRunner& runner, const std::function<QString()>& cancelledText);
};

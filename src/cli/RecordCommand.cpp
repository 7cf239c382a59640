#include "cli/RecordCommand.h"

#include "app/RecordSettings.h"
#include "cli/CliArguments.h"
#include "cli/CliRecordingSession.h"
#include "record/RecordingNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdint>
#include <optional>

namespace
{
// Six hours: the engine's 32-bit count of captured bytes holds that much at any format.
constexpr int kMaxSeconds = 6 * 3600;
constexpr std::uint64_t kMillisecondsPerSecond = 1000;
} // namespace

int CRecordCommand::Run(const QStringList& arguments)
{
    CCliArguments args(
        {QStringLiteral("seconds"), QStringLiteral("file"), QStringLiteral("source"), QStringLiteral("folder")}, {});
    if (!args.Parse(arguments)) {
        return UsageError(args.ErrorText());
    }
    if (!args.Positional().isEmpty()) {
        return UsageError(QStringLiteral("record takes no file arguments; name the file with --file"));
    }
    std::optional<std::uint64_t> limitMs;
    if (const auto value = args.Value(QStringLiteral("seconds"))) {
        bool ok = false;
        const int seconds = value->toInt(&ok);
        if (!ok || seconds < 1 || seconds > kMaxSeconds) {
            return UsageError(QStringLiteral("--seconds takes a whole number from 1 to %1").arg(kMaxSeconds));
        }
        limitMs = std::uint64_t(seconds) * kMillisecondsPerSecond;
    }
    const std::optional<QString> file = args.Value(QStringLiteral("file"));
    if (file && file->isEmpty()) {
        return UsageError(QStringLiteral("--file needs a name"));
    }
    if (file) {
        // Refused before anything records: such a name could only fail at the end or land
        // outside the save directory.
        if (const QString problem = RecordingNames::RecordFileTextProblem(*file); !problem.isEmpty()) {
            return UsageError(QStringLiteral("--file: %1").arg(problem));
        }
    }
    if (const auto folder = args.Value(QStringLiteral("folder"))) {
        // For this run only: the stored save directory stays as the user set it.
        const QFileInfo info(*folder);
        if (folder->isEmpty() || !info.isDir() || !info.isWritable()) {
            return UsageError(QStringLiteral("--folder needs a writable folder: %1").arg(*folder));
        }
        CRecordSettings::Instance().SetSaveDirectory(QDir(info.absoluteFilePath()).path() + QLatin1Char('/'));
    }
    if (!QCoreApplication::instance()) {
        return Fail(QStringLiteral("record needs the program's event loop"));
    }

    CCliRecordingSession session;
    if (!session.Prepare(args.Value(QStringLiteral("source")))) {
        return kExitFailure;
    }
    CRecordingController& controller = session.Controller();
    session.SetShowElapsed(true, limitMs);

    QObject::connect(&controller, &CRecordingController::recordingStopped, &controller,
                     [&session] { session.QuitWhenIdle(); });
    if (limitMs) {
        // Counted in captured sound over the whole session, continuation files included.
        controller.SetCaptureLimit(*limitMs);
    }

    if (file) {
        controller.SetRecordFileText(*file);
    }
    controller.Record();
    if (const QString failure = controller.StartFailureText(); !failure.isEmpty()) {
        controller.Stop();
        return Fail(QStringLiteral("cannot record: %1").arg(failure));
    }
    if (!controller.IsRecording()) {
        return kExitFailure; // the controller has said why
    }
    if (!session.Exec()) {
        return kExitFailure;
    }
    // Without --seconds a stop signal is the way a recording ends; with it, it cut the run short.
    // Either way what was recorded is filed.
    return limitMs && session.StoppedBySignal() ? kExitInterrupted : kExitSuccess;
}

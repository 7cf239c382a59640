#include "cli/RecordCommand.h"

#include "app/RecordSettings.h"
#include "cli/CliArguments.h"
#include "cli/CliRecordingSession.h"
#include "codec/BitrateChoice.h"
#include "codec/RecordFormat.h"
#include "record/Mp3BitrateChoices.h"
#include "record/RecordingNames.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace
{
// Six hours: the engine's 32-bit count of captured bytes holds that much at any format.
constexpr int kMaxSeconds = 6 * 3600;
constexpr std::uint64_t kMillisecondsPerSecond = 1000;

QString RateList()
{
    std::vector<std::uint32_t> rates(SampleRateTable.begin(), SampleRateTable.end());
    std::sort(rates.begin(), rates.end());
    QStringList texts;
    for (const std::uint32_t rate : rates) {
        texts << QString::number(rate);
    }
    return texts.join(QStringLiteral(", "));
}

QString OfferedBitrateList(std::uint32_t samplesPerSec)
{
    QStringList texts;
    for (const int position : Mp3BitrateChoices::OfferedPositions(samplesPerSec)) {
        texts << QString::number(BitrateTable[std::size_t(position)]);
    }
    return texts.join(QStringLiteral(", "));
}
} // namespace

QString CRecordCommand::ApplyFormatOptions(const CCliArguments& args)
{
    // For this run only, like --folder: the stored format stays as the user set it.
    CRecordSettings& settings = CRecordSettings::Instance();
    if (const auto rateText = args.Value(QStringLiteral("rate"))) {
        bool ok = false;
        const uint rate = rateText->toUInt(&ok);
        if (!ok || std::find(SampleRateTable.begin(), SampleRateTable.end(), rate) == SampleRateTable.end()) {
            return QStringLiteral("--rate takes one of %1 Hz").arg(RateList());
        }
        settings.SetSamplesPerSec(rate);
    }
    int bitrate = settings.Bitrate();
    int vbrQuality = settings.VbrQuality();
    if (const QString problem = ReadRateChoice(args, &bitrate, &vbrQuality); !problem.isEmpty()) {
        return problem;
    }
    if (vbrQuality != BitrateChoice::kNoVbr) {
        settings.SetBitrateIndex(BitrateChoice::IndexOfVbrQuality(vbrQuality));
    } else if (args.Has(QStringLiteral("bitrate"))) {
        // Only what the sample rate carries: the encoder would quietly move anything else.
        const std::uint32_t rate = settings.Format().samplesPerSec;
        const auto offered = Mp3BitrateChoices::OfferedPositions(rate);
        const auto found = std::find_if(offered.begin(), offered.end(), [bitrate](int position) {
            return BitrateTable[std::size_t(position)] == bitrate;
        });
        if (found == offered.end()) {
            return QStringLiteral("--bitrate %1 is not carried at %2 Hz; it takes %3")
                .arg(bitrate)
                .arg(rate)
                .arg(OfferedBitrateList(rate));
        }
        settings.SetBitrateIndex(*found);
    }
    return {};
}

int CRecordCommand::Run(const QStringList& arguments)
{
    CCliArguments args({QStringLiteral("seconds"), QStringLiteral("file"), QStringLiteral("source"),
                        QStringLiteral("folder"), QStringLiteral("rate"), QStringLiteral("bitrate"), VbrOption()},
                       {});
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
    if (const QString problem = ApplyFormatOptions(args); !problem.isEmpty()) {
        return UsageError(problem);
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

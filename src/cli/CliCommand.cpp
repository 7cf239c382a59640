#include "cli/CliCommand.h"

#include "app/OutputTarget.h"
#include "audio/FileJob.h"
#include "cli/CliArguments.h"
#include "cli/CliOutput.h"
#include "cli/JobRunner.h"
#include "codec/BitrateChoice.h"
#include "codec/MediaLength.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace
{
QString ErrnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

int CCliCommand::Fail(const QString& message, int exitCode)
{
    CCliOutput::Error(message);
    return exitCode;
}

QString CCliCommand::CommonOptionsText()
{
    return QStringLiteral("options of every command:\n"
                          "  --help     show the command's usage and exit\n"
                          "  --quiet    print nothing but errors: no progress line, no notices\n");
}

QString CCliCommand::ExitStatusText()
{
    return QStringLiteral("exit status:\n"
                          "  0    success\n"
                          "  1    failure: a file could not be read, written or converted\n"
                          "  2    usage error: the command line is wrong\n"
                          "  130  interrupted by Ctrl+C (SIGINT), SIGTERM or SIGHUP before the job was done\n");
}

QString CCliCommand::HelpText() const
{
    QString text = QStringLiteral("usage: sorvane-cli %1 %2\n\n%3\n").arg(Name(), Synopsis(), Summary());
    if (const QString details = Details(); !details.isEmpty()) {
        text += QLatin1Char('\n') + details;
        if (!details.endsWith(QLatin1Char('\n'))) {
            text += QLatin1Char('\n');
        }
    }
    text += QLatin1Char('\n') + CommonOptionsText() + QLatin1Char('\n') + ExitStatusText();
    return text;
}

namespace
{
constexpr int kMinBitrateKbps = 8;
constexpr int kMaxBitrateKbps = 320;
} // namespace

std::optional<int> CCliCommand::ParseBitrate(const QString& text)
{
    bool ok = false;
    const int kbps = text.toInt(&ok);
    if (!ok || kbps < kMinBitrateKbps || kbps > kMaxBitrateKbps) {
        return std::nullopt;
    }
    return kbps;
}

QString CCliCommand::BitrateRangeText()
{
    return QStringLiteral("--bitrate takes kbps from %1 to %2").arg(kMinBitrateKbps).arg(kMaxBitrateKbps);
}

bool CCliCommand::ReadBitrateOption(const CCliArguments& args, int* bitrate)
{
    const auto value = args.Value(QStringLiteral("bitrate"));
    if (!value) {
        return true;
    }
    const std::optional<int> parsed = ParseBitrate(*value);
    if (parsed) {
        *bitrate = *parsed;
    }
    return parsed.has_value();
}

QString CCliCommand::ReadRateChoice(const CCliArguments& args, int* bitrate, int* vbrQuality)
{
    const auto vbrText = args.Value(VbrOption());
    if (vbrText && args.Has(QStringLiteral("bitrate"))) {
        return QStringLiteral("--bitrate and --vbr exclude each other");
    }
    if (!ReadBitrateOption(args, bitrate)) {
        return BitrateRangeText();
    }
    if (args.Has(QStringLiteral("bitrate"))) {
        *vbrQuality = BitrateChoice::kNoVbr;
    }
    if (vbrText) {
        bool ok = false;
        const int quality = vbrText->toInt(&ok);
        if (!ok || !BitrateChoice::IsValidVbrQuality(quality)) {
            return QStringLiteral("--vbr takes LAME's quality level from 0 (best) to %1 (smallest)")
                .arg(BitrateChoice::kVbrLevelCount - 1);
        }
        *vbrQuality = quality;
    }
    return {};
}

int CCliCommand::UsageError(const QString& message) const
{
    return Fail(QStringLiteral("%1\nusage: sorvane-cli %2 %3").arg(message, Name(), Synopsis()), kExitUsage);
}

void CCliCommand::Print(const QString& text)
{
    CCliOutput::Result(text);
}

QString CCliCommand::CheckInputFile(const QString& path)
{
    // Opened for real: the file's mode bits alone do not say what the system allows this user.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return QStringLiteral("cannot open %1: %2").arg(path, ErrnoText(errno));
    }
    ::close(fd);
    if (!QFileInfo(path).isFile()) {
        return QStringLiteral("%1: not a regular file").arg(path);
    }
    return {};
}

QString CCliCommand::CreateProblem(const QString& path, const QString& verb)
{
    const QFileInfo info(path);
    // A link is written through, so what counts is the folder of the file it points to.
    const QString target = info.isSymLink() && info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
    // Asked of the system rather than read from mode bits, so a read-only mount or a missing
    // folder gives its own reason; nothing is created to find out.
    if (::faccessat(AT_FDCWD, folder.constData(), W_OK | X_OK, AT_EACCESS) == 0) {
        return {};
    }
    const int error = errno;
    return QStringLiteral("cannot %1 %2: %3").arg(verb, path, ErrnoText(error));
}

QString CCliCommand::CheckOutputFile(const QString& output, bool force, const QStringList& inputs)
{
    const COutputTarget::Verdict verdict = COutputTarget::Examine(output, inputs);
    if (verdict == COutputTarget::Verdict::ExistingFile && !force) {
        return QStringLiteral("%1: already exists; give --force to replace it").arg(output);
    }
    if (verdict == COutputTarget::Verdict::ExistingFile || verdict == COutputTarget::Verdict::New) {
        return CreateProblem(output);
    }
    return COutputTarget::RefusalText(output, verdict);
}

void CCliCommand::ReportClipping(const QString& file, std::uint64_t clippedSamples)
{
    if (clippedSamples == 0) {
        return;
    }
    CCliOutput::Warning(QStringLiteral("%1: %2 %3 clipped at full scale")
                            .arg(file)
                            .arg(clippedSamples)
                            .arg(clippedSamples == 1 ? QStringLiteral("sample") : QStringLiteral("samples")));
}

int CCliCommand::RunFileJob(CFileJob& job, CJobRunner& runner, const std::function<QString()>& cancelledText)
{
    const bool completed = runner.Run();
    for (const QString& failure : job.Failures()) {
        Fail(failure);
    }
    if (!completed) {
        return Fail(cancelledText(), kExitInterrupted);
    }
    return job.Failures().isEmpty() ? kExitSuccess : kExitFailure;
}

bool CCliCommand::IsMp3File(const QString& path)
{
    constexpr qint64 kRiffMarkerBytes = 4;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= 0) {
        return false;
    }
    if (file.read(kRiffMarkerBytes) == QByteArrayLiteral("RIFF")) {
        return false;
    }
    // Measured through the file in pieces first; only when no sound is measured at all is the
    // file mapped and its frames counted, so a long MP3 never becomes part of our memory.
    file.close();
    if (CMediaLength::QueryLength(path) > 0) {
        return true;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const uchar* bytes = file.map(0, file.size());
    // Any frame makes it MP3, even one whose sound the LAME tag cuts to less than a millisecond.
    return bytes != nullptr && CMediaLength::Mp3Samples(bytes, static_cast<std::size_t>(file.size())) > 0;
}

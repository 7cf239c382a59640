#include "cli/CliCommand.h"

#include "app/OutputTarget.h"
#include "cli/CliArguments.h"
#include "codec/MediaLength.h"

#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstring>

int CCliCommand::Fail(const QString& message, int exitCode)
{
    std::fprintf(stderr, "sorvane-cli: %s\n", message.toLocal8Bit().constData());
    return exitCode;
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

int CCliCommand::UsageError(const QString& message) const
{
    return Fail(QStringLiteral("%1\nusage: sorvane-cli %2 %3").arg(message, Name(), Synopsis()), kExitUsage);
}

void CCliCommand::Print(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
}

QString CCliCommand::CheckInputFile(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        return QStringLiteral("%1: no such file").arg(path);
    }
    if (!info.isFile()) {
        return QStringLiteral("%1: not a regular file").arg(path);
    }
    if (!info.isReadable()) {
        return QStringLiteral("%1: permission denied").arg(path);
    }
    return {};
}

QString CCliCommand::CheckOutputFile(const QString& output, bool force, const QStringList& inputs)
{
    const COutputTarget::Verdict verdict = COutputTarget::Examine(output, inputs);
    if (verdict == COutputTarget::Verdict::ExistingFile && !force) {
        return QStringLiteral("%1: already exists; give --force to replace it").arg(output);
    }
    if (verdict == COutputTarget::Verdict::ExistingFile || verdict == COutputTarget::Verdict::New) {
        return {};
    }
    return COutputTarget::RefusalText(output, verdict);
}

bool CCliCommand::IsMp3File(const QString& path)
{
    constexpr qint64 kRiffMarkerBytes = 4;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= 0) {
        return false;
    }
    const uchar* bytes = file.map(0, file.size());
    if (!bytes) {
        return false;
    }
    const auto size = static_cast<std::size_t>(file.size());
    if (size >= kRiffMarkerBytes && std::memcmp(bytes, "RIFF", kRiffMarkerBytes) == 0) {
        return false;
    }
    // Any frame makes it MP3, even one whose sound the LAME tag cuts to less than a millisecond.
    return CMediaLength::Mp3Samples(bytes, size) > 0;
}

#include "support/TestSupport.h"

#include "platform/lame_enc/InfoTagFrame.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <array>
#include <climits>
#include <cmath>
#include <numbers>
#include <unistd.h>

#if defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define SORVANE_TEST_UNDER_TSAN 1
#endif
#endif

#ifdef SORVANE_TEST_UNDER_TSAN
#include <chrono>
#include <csignal>
#include <poll.h>
#include <sys/wait.h>

namespace
{
// ThreadSanitizer cannot follow the raw clone() QProcess starts children with, so sanitized test
// runs start peer tools with a plain fork and exec.
TestSupport::ToolResult RunToolForked(const QString& program, const QStringList& arguments, int timeoutMs)
{
    TestSupport::ToolResult result;
    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) {
        return result;
    }
    std::vector<QByteArray> argumentBytes{program.toLocal8Bit()};
    for (const QString& argument : arguments) {
        argumentBytes.push_back(argument.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& bytes : argumentBytes) {
        argv.push_back(bytes.data());
    }
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        close(outPipe[0]);
        close(errPipe[0]);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    QByteArray* sinks[2] = {&result.out, &result.err};
    int open = 2;
    bool timedOut = false;
    while (open > 0 && !timedOut) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        timedOut = left.count() <= 0 || poll(fds, 2, int(left.count())) == 0;
        for (int i = 0; i < 2 && !timedOut; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP)) != 0) {
                char buffer[65536];
                const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
                if (got > 0) {
                    sinks[i]->append(buffer, got);
                } else {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                }
            }
        }
    }
    for (const pollfd& fd : fds) {
        if (fd.fd >= 0) {
            close(fd.fd);
        }
    }
    if (child < 0) {
        return result;
    }
    if (timedOut) {
        kill(child, SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!timedOut && WIFEXITED(status) && WEXITSTATUS(status) != 127) {
        result.exitCode = WEXITSTATUS(status);
    }
    return result;
}
} // namespace
#endif

namespace TestSupport
{
ToolResult RunTool(const QString& program, const QStringList& arguments, int timeoutMs)
{
#ifdef SORVANE_TEST_UNDER_TSAN
    return RunToolForked(program, arguments, timeoutMs);
#endif
    ToolResult result;
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted()) {
        return result;
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

bool ToolAvailable(const QString& program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

std::vector<std::int16_t> SinePcm(int channels, int sampleRate, double seconds, double frequency, double amplitude)
{
    const auto frames = static_cast<std::size_t>(seconds * sampleRate);
    std::vector<std::int16_t> pcm(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i) {
        const double value =
            amplitude * 32767.0 * std::sin(2.0 * std::numbers::pi * frequency * double(i) / sampleRate);
        for (int c = 0; c < channels; ++c) {
            pcm[i * channels + c] = static_cast<std::int16_t>(std::lround(value));
        }
    }
    return pcm;
}

namespace
{
void PutLe(QByteArray& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) {
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
}
} // namespace

bool WriteSimpleWav(const QString& path, const std::vector<std::int16_t>& pcm, int channels, int sampleRate)
{
    const auto dataBytes = static_cast<std::uint32_t>(pcm.size() * sizeof(std::int16_t));
    QByteArray out;
    out.append("RIFF");
    PutLe(out, 36 + dataBytes, 4);
    out.append("WAVEfmt ");
    PutLe(out, 16, 4);
    PutLe(out, 1, 2);
    PutLe(out, channels, 2);
    PutLe(out, sampleRate, 4);
    PutLe(out, sampleRate * channels * 2, 4);
    PutLe(out, channels * 2, 2);
    PutLe(out, 16, 2);
    out.append("data");
    PutLe(out, dataBytes, 4);
    out.append(reinterpret_cast<const char*>(pcm.data()), dataBytes);
    return WriteAll(path, out);
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

bool WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QString BinaryDirectory()
{
    char buffer[4096];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0) {
        return QStringLiteral(".");
    }
    const QString exe = QString::fromLocal8Bit(buffer, static_cast<int>(length));
    return exe.left(exe.lastIndexOf(QLatin1Char('/')));
}

QString FfprobeField(const QString& path, const QString& field)
{
    const ToolResult result =
        RunTool(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"),
                 QStringLiteral("a:0"), QStringLiteral("-show_entries"), QStringLiteral("stream=") + field,
                 QStringLiteral("-of"), QStringLiteral("default=noprint_wrappers=1:nokey=1"), path});
    if (result.exitCode != 0) {
        return {};
    }
    return QString::fromUtf8(result.out).trimmed();
}
} // namespace TestSupport

bool TestSupport::WaitUntilWritingInto(qint64 pid, const QString& folder, int timeoutMs)
{
    constexpr int kPollMs = 10;
    const QString prefix = QDir(folder).canonicalPath() + QLatin1Char('/');
    const QString descriptors = QStringLiteral("/proc/%1/fd").arg(pid);
    for (int waited = 0; waited < timeoutMs; waited += kPollMs) {
        if (!QFileInfo::exists(descriptors)) {
            return false;
        }
        const QStringList open = QDir(descriptors).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& name : open) {
            std::array<char, PATH_MAX> link{};
            const QByteArray linkPath = QFile::encodeName(descriptors + QLatin1Char('/') + name);
            const ssize_t length = ::readlink(linkPath.constData(), link.data(), link.size() - 1);
            const QString target = length > 0 ? QFile::decodeName(QByteArray(link.data(), length)) : QString();
            if (target.startsWith(prefix) &&
                (target.endsWith(QLatin1String(" (deleted)")) || target.contains(QLatin1String("/.sorvane-")))) {
                return true;
            }
        }
        QThread::msleep(kPollMs);
    }
    return false;
}

namespace TestSupport
{
namespace
{
QByteArray Syncsafe(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 3; i >= 0; --i) {
        bytes[i] = static_cast<char>(value & 0x7F);
        value >>= 7;
    }
    return bytes;
}

QByteArray BigEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    for (int i = 3; i >= 0; --i) {
        bytes[i] = static_cast<char>(value & 0xFF);
        value >>= 8;
    }
    return bytes;
}
} // namespace

QByteArray Id3v2TagWithPrivateFrame(const QByteArray& payload, int version, bool withFooter)
{
    constexpr char kFooterFlag = 0x10;
    const QByteArray body = QByteArray("sorvane.test", 13) + payload; // owner, NUL, data
    // Version 4 sizes frames in syncsafe integers, version 3 in plain ones.
    const QByteArray frameSize = version == 4 ? Syncsafe(quint32(body.size())) : BigEndian(quint32(body.size()));
    const QByteArray frame = QByteArray("PRIV") + frameSize + QByteArray(2, '\0') + body;
    const char flags = withFooter ? kFooterFlag : '\0';
    const QByteArray versionBytes = QByteArray(1, char(version)) + QByteArray(1, '\0') + QByteArray(1, flags);
    QByteArray tag = QByteArray("ID3") + versionBytes + Syncsafe(quint32(frame.size())) + frame;
    if (withFooter) {
        tag += QByteArray("3DI") + versionBytes + Syncsafe(quint32(frame.size()));
    }
    return tag;
}

long long DecodedSamplesPerChannel(const QString& decoder, const QString& path, int channels)
{
    const QStringList arguments =
        decoder == QStringLiteral("ffmpeg")
            ? QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                          QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-")}
            : QStringList{QStringLiteral("-q"), QStringLiteral("-s"), path};
    const ToolResult result = RunTool(decoder, arguments);
    return result.exitCode == 0 ? result.out.size() / qsizetype(sizeof(std::int16_t)) / channels : -1;
}

long long TaggedSamplesPerChannel(const QString& path)
{
    const QByteArray bytes = ReadAll(path);
    InfoTagFacts tag;
    if (!InfoTagFrame::Parse(reinterpret_cast<const std::uint8_t*>(bytes.constData()), std::size_t(bytes.size()),
                             tag) ||
        tag.placeholder) {
        return -1;
    }
    return static_cast<long long>(tag.frameCount) * InfoTagFrame::SamplesPerFrame(tag.sampleRate) - tag.encoderDelay -
           tag.padding;
}

QByteArray Id3v2Tag(int version, const std::vector<std::pair<QByteArray, QByteArray>>& frames)
{
    QByteArray body;
    for (const auto& [id, frameBody] : frames) {
        const auto size = quint32(frameBody.size());
        body += id + (version == 4 ? Syncsafe(size) : BigEndian(size)) + QByteArray(2, '\0') + frameBody;
    }
    return QByteArray("ID3") + char(version) + QByteArray(2, '\0') + Syncsafe(quint32(body.size())) + body;
}

QByteArray Id3v2Text(const QByteArray& text)
{
    return QByteArray(1, '\0') + text;
}

QByteArray Id3v2LanguageText(const QByteArray& text)
{
    return QByteArray(1, '\0') + QByteArray("eng") + QByteArray(1, '\0') + text;
}

QByteArray Id3v2UserText(const QByteArray& description, const QByteArray& value)
{
    return QByteArray(1, '\0') + description + QByteArray(1, '\0') + value;
}

QByteArray Id3v2Picture(const QByteArray& mimeType, const QByteArray& picture)
{
    constexpr char kFrontCover = 3;
    return QByteArray(1, '\0') + mimeType + QByteArray(1, '\0') + QByteArray(1, kFrontCover) + QByteArray(1, '\0') +
           picture;
}
} // namespace TestSupport

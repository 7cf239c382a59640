#include "Mp3Fixtures.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

using TestSupport::RunTool;

namespace Mp3Fixtures
{
void PrepareProcess()
{
    static std::unique_ptr<QTemporaryDir> dataDir;
    static std::unique_ptr<QCoreApplication> app;
    if (!dataDir) {
        dataDir = std::make_unique<QTemporaryDir>();
        qputenv("SORVANE_DATA_DIR", dataDir->path().toLocal8Bit());
    }
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "test_audio_decode";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
}

namespace
{
QString EncodeTone(const QString& folder, const QString& name, int sampleRate, int channels, double seconds, int kbps,
                   double amplitude, const QStringList& lameOptions)
{
    const QString wav = folder + QStringLiteral("/") + name + QStringLiteral(".wav");
    const QString mp3 = folder + QStringLiteral("/") + name + QStringLiteral(".mp3");
    const auto made =
        RunTool(QStringLiteral("sox"),
                {QStringLiteral("-D"), QStringLiteral("-n"), QStringLiteral("-r"), QString::number(sampleRate),
                 QStringLiteral("-c"), QString::number(channels), QStringLiteral("-b"), QStringLiteral("16"), wav,
                 QStringLiteral("synth"), QString::number(seconds), QStringLiteral("sine"), QStringLiteral("440"),
                 QStringLiteral("vol"), QString::number(amplitude)});
    if (made.exitCode != 0) {
        return {};
    }
    const auto encoded = RunTool(QStringLiteral("lame"), QStringList{QStringLiteral("--quiet"), QStringLiteral("--cbr"),
                                                                     QStringLiteral("-b"), QString::number(kbps)} +
                                                             lameOptions + QStringList{wav, mp3});
    return encoded.exitCode == 0 ? mp3 : QString();
}
} // namespace

QString MakeToneMp3(const QString& folder, const QString& name, int sampleRate, int channels, double seconds, int kbps,
                    double amplitude)
{
    return EncodeTone(folder, name, sampleRate, channels, seconds, kbps, amplitude, {});
}

QString MakeBareToneMp3(const QString& folder, const QString& name, int sampleRate, int channels, double seconds,
                        int kbps)
{
    constexpr double kAmplitude = 0.5;
    return EncodeTone(folder, name, sampleRate, channels, seconds, kbps, kAmplitude, {QStringLiteral("-t")});
}

namespace
{
std::vector<std::int16_t> Mpg123Output(const QStringList& arguments)
{
    const auto decoded = RunTool(QStringLiteral("mpg123"), arguments);
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(decoded.out.size()) / 2);
    std::memcpy(pcm.data(), decoded.out.constData(), pcm.size() * 2);
    return pcm;
}
} // namespace

std::vector<std::int16_t> Mpg123Pcm(const QString& mp3Path)
{
    return Mpg123Output({QStringLiteral("-q"), QStringLiteral("--no-gapless"), QStringLiteral("-s"), mp3Path});
}

std::vector<std::int16_t> Mpg123GaplessPcm(const QString& mp3Path)
{
    return Mpg123Output({QStringLiteral("-q"), QStringLiteral("-s"), mp3Path});
}

Likeness Compare(const std::vector<std::int16_t>& a, const std::vector<std::int16_t>& b, int channels, int frameLength)
{
    Likeness best;
    const long step = long(frameLength) * channels;
    for (long shift = -2 * step; shift <= 2 * step; shift += step) {
        double ab = 0, aa = 0, bb = 0, diff = 0;
        long count = 0;
        for (long i = std::max(0L, -shift); i < long(a.size()) && i + shift < long(b.size()); ++i) {
            const double x = a[std::size_t(i)];
            const double y = b[std::size_t(i + shift)];
            ab += x * y;
            aa += x * x;
            bb += y * y;
            diff += (x - y) * (x - y);
            ++count;
        }
        if (count == 0 || aa == 0 || bb == 0) {
            continue;
        }
        const double correlation = ab / std::sqrt(aa * bb);
        if (correlation > best.correlation) {
            best = {correlation, std::sqrt(diff / double(count))};
        }
    }
    return best;
}

bool CCollectingSink::SetUpFirstFrame(const Mp3FrameHeader& header, const DecodedPcm& frame)
{
    sampleRate = frame.sampleRate;
    channels = frame.channels;
    frameLength = header.samplesPerFrame;
    return true;
}

FrameFlow CCollectingSink::Deliver(const Mp3FrameHeader&, const std::uint8_t* bytes, std::size_t size)
{
    ++frames;
    const std::size_t old = pcm.size();
    pcm.resize(old + size / 2);
    std::memcpy(pcm.data() + old, bytes, size);
    return FrameFlow::Continue;
}

CStderrCapture::CStderrCapture()
    : m_path(QDir::tempPath() + QStringLiteral("/sorvane-stderr-%1.txt").arg(::getpid()))
{
    std::fflush(stderr);
    m_savedFd = ::dup(STDERR_FILENO);
    const int fd = ::open(m_path.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
}

CStderrCapture::~CStderrCapture()
{
    std::fflush(stderr);
    ::dup2(m_savedFd, STDERR_FILENO);
    ::close(m_savedFd);
    QFile::remove(m_path);
}

QByteArray CStderrCapture::Text() const
{
    std::fflush(stderr);
    return TestSupport::ReadAll(m_path);
}
} // namespace Mp3Fixtures

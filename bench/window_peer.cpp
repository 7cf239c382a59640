// Helpers of the desktop program's benchmarks (startup.sh, idle_cpu.sh):
//   window_peer settings DATA_DIR FILE...  writes "Record Setup.sys" listing the files
//   window_peer window                     a bare Qt window, the peer figure: with
//                                          SORVANE_EXIT_AFTER_FIRST_PAINT set it prints when its
//                                          first frame was painted and quits; else it idles
//                                          with a one-second timer, as Sorvane's schedule check.
#include "app/RecordSettings.h"

#include <QApplication>
#include <QPainter>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <ctime>

namespace
{
constexpr int kWindowWidth = 720;
constexpr int kWindowHeight = 420;
constexpr int kTickMs = 1000;
constexpr long long kNanosecondsPerSecond = 1000000000LL;

long long RealtimeNanoseconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<long long>(now.tv_sec) * kNanosecondsPerSecond + now.tv_nsec;
}

class PeerWindow : public QWidget
{
public:
    PeerWindow() { m_exitAfterPaint = !qEnvironmentVariableIsEmpty("SORVANE_EXIT_AFTER_FIRST_PAINT"); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter(this).fillRect(rect(), QColor(200, 200, 200));
        if (m_exitAfterPaint && !m_painted) {
            m_painted = true;
            std::printf("first-paint-realtime-ns %lld\n", RealtimeNanoseconds());
            std::fflush(stdout);
            QCoreApplication::quit();
        }
    }

private:
    bool m_exitAfterPaint = false;
    bool m_painted = false;
};

int WriteSettings(const QStringList& arguments)
{
    if (arguments.size() < 2) {
        std::fprintf(stderr, "usage: window_peer settings DATA_DIR FILE...\n");
        return 1;
    }
    CRecordSettings settings;
    settings.SetRecordings(arguments.mid(2));
    const QString path = arguments.at(1) + QStringLiteral("/") + QLatin1String(CRecordSettings::kFileName);
    return settings.Save(path) ? 0 : 1;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && QByteArray(argv[1]) == "settings") {
        QCoreApplication core(argc, argv);
        return WriteSettings(QCoreApplication::arguments().mid(1));
    }
    QApplication application(argc, argv);
    PeerWindow window;
    window.resize(kWindowWidth, kWindowHeight);
    QTimer tick;
    tick.start(kTickMs);
    window.show();
    return QApplication::exec();
}

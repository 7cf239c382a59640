#include "app/RecorderApp.h"

#include "KeyHook.h"
#include "app/ColourDepthCheck.h"
#include "app/KeyboardShortcutHook.h"
#include "app/MainWindow.h"
#include "app/RecordSettings.h"
#include "app/SingleInstance.h"
#include "app/WidgetClassRegistry.h"
#include "controls/EditCtrl.h"
#include "wave_editor/WaveEditCtrl.h"

#include <QApplication>
#include <QScreen>
#include <QStyleFactory>
#include <cstdio>
#include <ctime>
#include <memory>

namespace
{
constexpr const char* kControlStyle = "Fusion";
constexpr long long kNanosecondsPerSecond = 1000000000LL;

bool VariableSet(const char* name)
{
    return !qEnvironmentVariableIsEmpty(name);
}

long long RealtimeNanoseconds()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<long long>(now.tv_sec) * kNanosecondsPerSecond + now.tv_nsec;
}
} // namespace

bool CRecorderApp::DisplayAvailable()
{
    return VariableSet("DISPLAY") || VariableSet("WAYLAND_DISPLAY") || VariableSet("QT_QPA_PLATFORM");
}

const char* CRecorderApp::NoDisplayText()
{
    return "sorvane: no display found (DISPLAY and WAYLAND_DISPLAY are not set); "
           "use sorvane-cli to record and work on files without one.";
}

int CRecorderApp::Run(const QStringList& files)
{
    // Before anything loads the settings: a second Sorvane on the same Data folder hands over.
    CSingleInstance instance(CSingleInstance::DefaultServerName());
    if (instance.HandOver(files)) {
        return 0;
    }
    // Without the socket this start still works; only later starts open windows of their own.
    instance.Listen();
    // The window may hide in the tray; the program ends by Exit and the close button alone.
    QApplication::setQuitOnLastWindowClosed(false);

    // 1. The same raised, three-dimensional control look on every desktop.
    QApplication::setStyle(QStyleFactory::create(QLatin1String(kControlStyle)));
    // 2-4. The custom control classes, in order around the settings load.
    CWidgetClassRegistry& classes = CWidgetClassRegistry::Instance();
    classes.Register(QLatin1String(CWidgetClassRegistry::kWaveEditClass), &CWaveEditCtrl::Create);
    CRecordSettings::Instance();
    classes.Register(QLatin1String(CWidgetClassRegistry::kSpinEditClass), &CEditCtrl::Create);
    // 5. Skins need true colour.
    ColourDepthCheck::Run(QGuiApplication::primaryScreen());

    // 6-7. The window, then the keyboard table.
    auto window = std::make_unique<CMainWindow>();
    auto hook = std::make_unique<CKeyboardShortcutHook>(window.get());
    // exit, not quit: quit would first ask the window to close, which it leaves to Exit and
    // the close button.
    const auto endLoop = [] { QCoreApplication::exit(0); };
    QObject::connect(window.get(), &CMainWindow::quitRequested, qApp, endLoop, Qt::QueuedConnection);
    if (VariableSet(kFirstPaintVariable)) {
        CMainWindow* shown = window.get();
        QObject::connect(shown, &CMainWindow::firstPainted, qApp, [shown, endLoop] {
            std::printf("first-paint-realtime-ns %lld\nlist-fill-ms %lld files %d\n", RealtimeNanoseconds(),
                        static_cast<long long>(shown->ListFillMilliseconds()), shown->ListFillCount());
            std::fflush(stdout);
            // The first frame may come before the event loop runs; the quit waits for it.
            QMetaObject::invokeMethod(qApp, endLoop, Qt::QueuedConnection);
        });
    }

    QObject::connect(&instance, &CSingleInstance::activationRequested, window.get(), &CMainWindow::OpenFromOutside);

    // 8. Run until Exit or close.
    window->show();
    if (!files.isEmpty()) {
        window->OpenFromOutside(files);
    }
    const int result = QApplication::exec();

    // 9. Keyboard table and hook library off, the window gone (its recording filed, its list
    // saved), then the settings written.
    hook.reset();
    FreeKeyHook();
    window.reset();
    CRecordSettings::SaveInstance();
    return result;
}

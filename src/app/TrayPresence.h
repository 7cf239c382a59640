#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QSystemTrayIcon;

// Sorvane in the desktop's system tray: an icon whose menu records, stops, shows the window
// and exits, whose tooltip carries the elapsed time, and which tells the user through desktop
// notifications what happens while the window is away. Without a tray the menu still exists
// (nothing shows it) and notifications go to the desktop's notification service.
class CTrayPresence : public QObject
{
    Q_OBJECT

public:
    static constexpr const char* kTitle = "Sorvane";
    static constexpr const char* kRecordText = "Record";
    static constexpr const char* kStopText = "Stop";
    static constexpr const char* kShowText = "Show";
    static constexpr const char* kExitText = "Exit";

    using Notifier = std::function<void(const QString& title, const QString& text)>;

    explicit CTrayPresence(QObject* parent = nullptr);
    ~CTrayPresence() override;

    // True when the desktop has a system tray to put the icon in.
    static bool IsAvailable();
    // Tests stand in a desktop with or without a tray; nullopt asks the desktop again.
    static void OverrideAvailability(std::optional<bool> available);

    QMenu* Menu() const { return m_menu.get(); }
    QAction* RecordAction() const { return m_record; }
    QAction* StopAction() const { return m_stop; }
    QAction* ShowAction() const { return m_show; }
    QAction* ExitAction() const { return m_exit; }
    QString ToolTip() const { return m_toolTip; }
    bool IsIconShown() const;

    // What the recorder does now: Record and Stop are offered accordingly, the tooltip tells.
    void SetRecordingState(bool recording, bool paused, const QString& elapsedText);
    // A desktop notification; replaced in tests.
    void Notify(const QString& text);
    void SetNotifier(Notifier notifier) { m_notifier = std::move(notifier); }

signals:
    // A menu command of the main window (Record or Stop) was chosen.
    void commandRequested(int commandId);
    void showRequested();
    void exitRequested();

private:
    void SendDesktopNotification(const QString& text) const;

    std::unique_ptr<QMenu> m_menu;
    QAction* m_record = nullptr;
    QAction* m_stop = nullptr;
    QAction* m_show = nullptr;
    QAction* m_exit = nullptr;
    QSystemTrayIcon* m_icon = nullptr;
    QString m_toolTip;
    Notifier m_notifier;
};

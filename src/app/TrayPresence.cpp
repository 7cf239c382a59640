#include "app/TrayPresence.h"

#include "app/CommandIds.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>
#ifdef SORVANE_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>
#endif

namespace
{
constexpr int kIconId = 128;
// How long a notification stays, in milliseconds.
constexpr int kNotificationMs = 8000;
constexpr const char* kRecordingToolTip = "%1 - recording %2";
constexpr const char* kPausedToolTip = "%1 - paused %2";

std::optional<bool>& AvailabilityOverride()
{
    static std::optional<bool> available;
    return available;
}
} // namespace

CTrayPresence::CTrayPresence(QObject* parent)
    : QObject(parent)
    , m_menu(std::make_unique<QMenu>())
    , m_toolTip(QString::fromLatin1(kTitle))
{
    m_record = m_menu->addAction(QString::fromLatin1(kRecordText));
    m_stop = m_menu->addAction(QString::fromLatin1(kStopText));
    m_menu->addSeparator();
    m_show = m_menu->addAction(QString::fromLatin1(kShowText));
    m_menu->addSeparator();
    m_exit = m_menu->addAction(QString::fromLatin1(kExitText));
    m_record->setData(CommandId::kRecord);
    m_stop->setData(CommandId::kStop);
    m_stop->setEnabled(false);
    connect(m_record, &QAction::triggered, this, [this] { emit commandRequested(CommandId::kRecord); });
    connect(m_stop, &QAction::triggered, this, [this] { emit commandRequested(CommandId::kStop); });
    connect(m_show, &QAction::triggered, this, &CTrayPresence::showRequested);
    connect(m_exit, &QAction::triggered, this, &CTrayPresence::exitRequested);

    // Only a real tray gets an icon; a stand-in availability from a test does not.
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_icon = new QSystemTrayIcon(QIcon(QStringLiteral(":/icon/%1.png").arg(kIconId)), this);
        m_icon->setContextMenu(m_menu.get());
        m_icon->setToolTip(m_toolTip);
        connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                emit showRequested();
            }
        });
        m_icon->show();
    }
}

CTrayPresence::~CTrayPresence()
{
    if (m_icon != nullptr) {
        m_icon->hide();
    }
}

bool CTrayPresence::IsAvailable()
{
    if (AvailabilityOverride()) {
        return *AvailabilityOverride();
    }
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void CTrayPresence::OverrideAvailability(std::optional<bool> available)
{
    AvailabilityOverride() = available;
}

bool CTrayPresence::IsIconShown() const
{
    return m_icon != nullptr && m_icon->isVisible();
}

void CTrayPresence::SetRecordingState(bool recording, bool paused, const QString& elapsedText)
{
    m_record->setEnabled(!recording);
    m_stop->setEnabled(recording);
    const QString title = QString::fromLatin1(kTitle);
    if (!recording) {
        m_toolTip = title;
    } else {
        m_toolTip = QString::fromLatin1(paused ? kPausedToolTip : kRecordingToolTip).arg(title, elapsedText);
    }
    if (m_icon != nullptr) {
        m_icon->setToolTip(m_toolTip);
    }
}

void CTrayPresence::Notify(const QString& text)
{
    if (m_notifier) {
        m_notifier(QString::fromLatin1(kTitle), text);
        return;
    }
    if (m_icon != nullptr && m_icon->isVisible() && QSystemTrayIcon::supportsMessages()) {
        m_icon->showMessage(QString::fromLatin1(kTitle), text, QSystemTrayIcon::Information, kNotificationMs);
        return;
    }
    SendDesktopNotification(text);
}

void CTrayPresence::SendDesktopNotification([[maybe_unused]] const QString& text) const
{
#ifdef SORVANE_HAVE_DBUS
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QString title = QString::fromLatin1(kTitle);
    // app name, id to replace, icon, summary, body, actions, hints, timeout
    call << title << quint32(0) << QStringLiteral("audio-input-microphone") << title << text << QStringList()
         << QVariantMap() << qint32(kNotificationMs);
    // Nobody waits for the answer: a desktop without the service simply shows nothing.
    bus.send(call);
#endif
}

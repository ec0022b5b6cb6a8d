#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>

struct CheckError;

// What the tray check tells through a desktop notification.
struct Announcement
{
    QString summary;
    QString body;
    bool critical = false; // a security update is pending
};

// One notification through the desktop's notification server, the service
// org.freedesktop.Notifications of the session bus: where the popup cannot
// work (no system tray to sit beside, or Wayland, where a client cannot place
// a window in a corner), the desktop's own notifications can.
class DesktopNotifier : public QObject
{
    Q_OBJECT

public:
    // Asks the server on the bus for its capabilities; a server the bus
    // starts on demand counts.
    explicit DesktopNotifier(const QDBusConnection &bus, QObject *parent = nullptr);
    ~DesktopNotifier() override;

    bool serverPresent() const { return m_serverPresent; }
    // Sends the notification, asking the server to let it expire after
    // expireMs. False when the server refused it.
    bool show(const Announcement &announcement, int expireMs);
    // Withdraws it.
    void close();

    // The announcement of a check that found updates (securityUpdates of
    // them security updates), or failed.
    static Announcement announcementFor(int updates, int securityUpdates, const CheckError &error);

signals:
    // The notification's default action: the user wants the report.
    void reviewRequested();
    // The server closed it: it expired, or the user or we dismissed it.
    void closed();

private slots:
    // D-Bus signals of the server; connected by name, as QtDBus requires.
    void onActionInvoked(uint id, const QString &actionKey);
    void onNotificationClosed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    QStringList m_capabilities;
    bool m_serverPresent = false;
    uint m_id = 0; // of the notification sent; 0 before
};

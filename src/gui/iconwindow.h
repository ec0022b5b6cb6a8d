#pragma once

#include <QDBusConnection>
#include <QDialog>
#include <QSystemTrayIcon>

#include <memory>

#include "download/downloadsettings.h"

class QAction;
class QMenu;
struct Announcement;
struct CheckError;

// The tray mode's time limits, in milliseconds.
struct TrayLimits
{
    // The popup slides out after this.
    int popupMs = 15000;
    // A notification asks the server to let it expire after this, and the
    // tray mode waits no longer for the server to close it.
    int notificationMs = 15000;
};

// The tray mode, run entirely by the constructor: an icon in the system tray
// (when there is one), one check, and when updates are available or the
// check failed, the announcement; then the icon goes. The announcement is the
// popup, or a desktop notification where the popup cannot work: no system
// tray on X11, or Wayland. The dialog itself is never shown.
class IconWindow : public QDialog
{
    Q_OBJECT

public:
    // settings: the download of this run; bus: where the desktop's
    // notification server is looked for.
    explicit IconWindow(const DownloadSettings &settings, const TrayLimits &limits = {},
        const QDBusConnection &bus = QDBusConnection::sessionBus(), QWidget *parent = nullptr);
    ~IconWindow() override;

    // What the popup says after a check that found the given number of
    // updates, or failed.
    static QString popupMessage(int updates, const CheckError &error);

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void iconActivated(QSystemTrayIcon::ActivationReason reason);
    void showNotificationDialog();
    void showNotificationPopup();
    void exit();

private:
    void createMenu();
    void checkForUpdates();
    void announce(int updates, int securityUpdates, const CheckError &error);
    // Shows the notification and waits until it is over; false when no
    // server took it.
    bool notify(const Announcement &announcement);

    const DownloadSettings m_settings;
    TrayLimits m_limits;
    QDBusConnection m_bus;
    // Declared so that the icon goes before its menu; the actions are children.
    std::unique_ptr<QMenu> m_trayMenu;
    std::unique_ptr<QSystemTrayIcon> m_trayIcon;
    QAction *m_checkAction = nullptr;
    QAction *m_exitAction = nullptr;
};

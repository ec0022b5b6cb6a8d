#include "gui/iconwindow.h"

#include "catalogue/brivexupdate.h"
#include "catalogue/checkreport.h"
#include "core/checkerror.h"
#include "core/common.h"
#include "core/logger.h"
#include "gui/desktopnotifier.h"
#include "gui/messageboxes.h"
#include "gui/notificationdialog.h"
#include "gui/notificationpopup.h"
#include "gui/proxyprompt.h"

#include <QAction>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTimer>

IconWindow::IconWindow(const DownloadSettings &settings, const TrayLimits &limits,
    const QDBusConnection &bus, QWidget *parent)
    : QDialog(parent)
    , m_settings(settings)
    , m_limits(limits)
    , m_bus(bus)
{
    // Never shown, but the report window opens centred on it.
    setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        createMenu();
        m_trayIcon = std::make_unique<QSystemTrayIcon>();
        m_trayIcon->setIcon(QIcon(QStringLiteral(":/images/Brivex_Server_Patch_256.png")));
        m_trayIcon->setToolTip(Common::instance()->title);
        m_trayIcon->setContextMenu(m_trayMenu.get());
        connect(m_trayIcon.get(), &QSystemTrayIcon::activated, this, &IconWindow::iconActivated);
        m_trayIcon->setVisible(true);
    }
    checkForUpdates();
}

IconWindow::~IconWindow() = default;

QString IconWindow::popupMessage(int updates, const CheckError &error)
{
    if (error.failed())
        return error.message;
    if (updates > 0) {
        return QString::number(updates) + QLatin1Char(' ')
            + tr("update(s) are available.  Click here to review these updates.");
    }
    return tr("No updates available.");
}

void IconWindow::closeEvent(QCloseEvent *event)
{
    if (m_trayIcon)
        m_trayIcon->setVisible(false);
    event->accept();
}

void IconWindow::iconActivated(QSystemTrayIcon::ActivationReason reason)
{
    if (reason == QSystemTrayIcon::DoubleClick)
        showNotificationDialog();
}

void IconWindow::showNotificationDialog()
{
    NotificationDialog dialog(m_settings, this);
    dialog.exec();
}

void IconWindow::showNotificationPopup()
{
    // A check of its own, to count; it may fail where the first one did not.
    const BrivexUpdate update(checkSettings(m_settings));
    noteCheckFailure(update.error());
    const CheckReport report = CheckReport::of(m_settings.url, update);
    announce(int(report.updates.size()), int(report.securityUpdateCount()), update.error());
}

void IconWindow::exit()
{
    close();
}

void IconWindow::createMenu()
{
    m_checkAction = new QAction(tr("Check For Updates"), this);
    connect(m_checkAction, &QAction::triggered, this, &IconWindow::showNotificationDialog);
    m_exitAction = new QAction(tr("Exit"), this);
    connect(m_exitAction, &QAction::triggered, this, &IconWindow::exit);
    m_trayMenu = std::make_unique<QMenu>(QStringLiteral("Popup"));
    m_trayMenu->addAction(m_checkAction);
    m_trayMenu->addSeparator();
    m_trayMenu->addAction(m_exitAction);
}

void IconWindow::checkForUpdates()
{
    const BrivexUpdate update(checkSettings(m_settings));
    noteCheckFailure(update.error()); // the announcement shows it
    if (update.error().failed()) {
        announce(0, 0, update.error());
    } else if (!update.patchList().isEmpty()) {
        showNotificationPopup();
    }
    close(); // hides the icon: the tray mode ends here
}

void IconWindow::announce(int updates, int securityUpdates, const CheckError &error)
{
    // The popup needs a tray to sit beside on X11; on Wayland no client may
    // place a window in a corner at all.
    const bool wayland = QGuiApplication::platformName() == QLatin1String("wayland");
    if (!m_trayIcon || wayland) {
        if (notify(DesktopNotifier::announcementFor(updates, securityUpdates, error)))
            return;
    }
    if (!m_trayIcon) {
        Logger::instance()->Print(Severity::Warning,
            QStringLiteral("No system tray available.  The popup is shown without the tray icon."));
    }
    const QString message = popupMessage(updates, error);
    Logger::instance()->Print(Severity::Info, QStringLiteral("Announcing: %1").arg(message));
    NotificationPopup popup(message, m_limits.popupMs, this);
    // The popup's timer keeps running while the report window is open.
    connect(&popup, &NotificationPopup::reportRequested, this, &IconWindow::showNotificationDialog);
    popup.exec();
}

bool IconWindow::notify(const Announcement &announcement)
{
    DesktopNotifier notifier(m_bus);
    if (!notifier.serverPresent() || !notifier.show(announcement, m_limits.notificationMs))
        return false;
    Logger::instance()->Print(Severity::Info,
        QStringLiteral("Announcing by a desktop notification (%1%2): %3: %4")
            .arg(QGuiApplication::platformName(),
                m_trayIcon ? QString() : QStringLiteral(", no system tray"), announcement.summary,
                announcement.body));
    QEventLoop loop;
    // Some servers keep a notification until it is dismissed, whatever
    // time-out was asked for (GNOME's list; dunst, when set to keep critical
    // ones): wait no longer than that time-out.
    QTimer limit;
    limit.setSingleShot(true);
    limit.setTimerType(Qt::PreciseTimer);
    connect(&limit, &QTimer::timeout, &loop, [&notifier, &loop] {
        Logger::instance()->Print(
            Severity::Debug, QStringLiteral("The notification was not closed in time.  Closing."));
        notifier.close();
        loop.quit();
    });
    connect(&notifier, &DesktopNotifier::closed, &loop, &QEventLoop::quit);
    connect(
        &notifier, &DesktopNotifier::reviewRequested, &loop,
        [this, &notifier, &limit, &loop] {
            limit.stop();
            // Servers close the notification after its action (dunst at
            // once): the window is open then, and ends the tray mode itself.
            disconnect(&notifier, &DesktopNotifier::closed, &loop, nullptr);
            showNotificationDialog();
            loop.quit();
        },
        Qt::SingleShotConnection);
    limit.start(m_limits.notificationMs);
    loop.exec();
    return true;
}

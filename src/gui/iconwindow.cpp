#include "gui/iconwindow.h"

#include "catalogue/brivexupdate.h"
#include "core/checkerror.h"
#include "core/common.h"
#include "core/logger.h"
#include "gui/notificationdialog.h"
#include "gui/notificationpopup.h"
#include "gui/proxyprompt.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>

namespace {

constexpr int kPopupTimeoutSeconds = 15;

} // namespace

IconWindow::IconWindow(QWidget *parent)
    : QDialog(parent)
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
    } else {
        // Common (GNOME Shell has no tray): the announcement still comes.
        Logger::instance()->Print(Severity::Warning,
            QStringLiteral("No system tray available.  The popup is shown without the tray icon."));
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
    NotificationDialog dialog(this);
    dialog.exec();
}

void IconWindow::showNotificationPopup()
{
    // A check of its own, to count; it may fail where the first one did not.
    Common *store = Common::instance();
    store->clearCheckError();
    const BrivexUpdate update(desktopDownloadSettings());
    const CheckError &error = update.error();
    if (error.failed()) {
        // The popup shows the message; no box on top of it.
        Logger::instance()->Print(Severity::Error, error.message);
        store->lastError = error.code;
    }
    const QString message = popupMessage(int(update.patchList().size()), error);
    Logger::instance()->Print(Severity::Info, QStringLiteral("Announcing: %1").arg(message));
    NotificationPopup popup(message, kPopupTimeoutSeconds, this);
    popup.exec();
}

void IconWindow::showSettings() { }

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
    Common::instance()->clearCheckError();
    const BrivexUpdate update(desktopDownloadSettings());
    reportCheckError(update.error());
    if (!update.patchList().isEmpty())
        showNotificationPopup();
    close(); // hides the icon: the tray mode ends here
}

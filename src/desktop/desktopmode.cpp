#include "desktopmode.h"

#include "core/logger.h"
#include "gui/iconwindow.h"
#include "gui/messageboxes.h"
#include "gui/notificationdialog.h"

#include <QApplication>

#include <memory>

void createDesktopApplication(int &argc, char **argv, const QByteArray &platform)
{
    // Chosen with the display (app/displayprobe.h): Qt would try X11 first
    // and abort where there is only Wayland.
    if (!platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", platform);
    new QApplication(argc, argv); // never deleted
    installMessageBoxes();
}

void runDesktopMode(bool tray, const DownloadSettings &settings)
{
    Logger::instance()->Print(
        Severity::Info, QStringLiteral("<<<<<<< Running in GUI mode >>>>>>>>>"));
    // The tray controller does all its work in its constructor.
    std::unique_ptr<QDialog> window;
    if (tray) {
        window = std::make_unique<IconWindow>(settings);
    } else {
        window = std::make_unique<NotificationDialog>(settings);
        window->exec();
    }
    Logger::instance()->close();
}

#include "gui/desktopmode.h"

#include "core/logger.h"
#include "gui/iconwindow.h"
#include "gui/messageboxes.h"
#include "gui/notificationdialog.h"

#include <QApplication>

#include <memory>

void createDesktopApplication(int &argc, char **argv)
{
    // Without an X display the desktop part was started for a Wayland one
    // (app/displayprobe.h); Qt would try X11 first and abort. A platform
    // chosen by the user stays.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")
        && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "wayland");
    new QApplication(argc, argv); // never deleted
    installMessageBoxes();
}

void runDesktopMode(bool tray)
{
    Logger::instance()->Print(
        Severity::Info, QStringLiteral("<<<<<<< Running in GUI mode >>>>>>>>>"));
    // The tray controller does all its work in its constructor.
    std::unique_ptr<QDialog> window;
    if (tray) {
        window = std::make_unique<IconWindow>();
    } else {
        window = std::make_unique<NotificationDialog>();
        window->exec();
    }
    Logger::instance()->close();
}

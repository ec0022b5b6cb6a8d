#pragma once

#include <QDialog>
#include <QSystemTrayIcon>

#include <memory>

class QAction;
class QMenu;
struct CheckError;

// The tray mode, run entirely by the constructor: an icon in the system tray
// (when there is one), one check, the popup when updates are available, and
// then the icon goes. The dialog itself is never shown.
class IconWindow : public QDialog
{
    Q_OBJECT

public:
    explicit IconWindow(QWidget *parent = nullptr);
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
    void showSettings();
    void exit();

private:
    void createMenu();
    void checkForUpdates();

    // Declared so that the icon goes before its menu; the actions are children.
    std::unique_ptr<QMenu> m_trayMenu;
    std::unique_ptr<QSystemTrayIcon> m_trayIcon;
    QAction *m_checkAction = nullptr;
    QAction *m_exitAction = nullptr;
};

#pragma once

#include "catalogue/checkreport.h"
#include "download/downloadsettings.h"

#include <QDialog>

#include <memory>

namespace Ui {
class NotificationDialog;
}

// The report window: a busy view while it checks, then the installed
// products, the updates for each of them with links to the patches, and the
// installed patches. Every show runs a fresh check. Its footer opens the proxy
// settings and holds the log-on check box.
class NotificationDialog : public QDialog
{
    Q_OBJECT

public:
    // settings: the download of this run.
    explicit NotificationDialog(const DownloadSettings &settings, QWidget *parent = nullptr);
    ~NotificationDialog() override;

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private slots:
    void on_okButton_clicked();
    void drawDialogGUI();
    void drawMainView();
    void showSettingsDialog();
    void getPatchList();
    void onUpdateCheckClicked(bool checked);

private:
    void showMainView(bool show);
    void readSettings();
    void writeSettings();

    std::unique_ptr<Ui::NotificationDialog> ui;
    const DownloadSettings m_settings;
    CheckReport m_report; // of the last check
    // A check is queued or running; further show events start no other.
    bool m_checkPending = false;
};

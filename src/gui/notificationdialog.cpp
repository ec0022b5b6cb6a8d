#include "gui/notificationdialog.h"
#include "ui_notificationdialog.h"

#include "catalogue/brivexupdate.h"
#include "core/checkerror.h"
#include "core/common.h"
#include "gui/autostart.h"
#include "gui/messageboxes.h"
#include "gui/proxyprompt.h"
#include "gui/reporthtml.h"
#include "gui/settingsdialog.h"

#include <QCloseEvent>
#include <QPixmap>
#include <QShowEvent>

NotificationDialog::NotificationDialog(const DownloadSettings &settings, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::NotificationDialog>())
    , m_settings(settings)
{
    ui->setupUi(this);
    showMainView(false);
    setObjectName(QStringLiteral("NotificationDialog"));
    readSettings();
    drawDialogGUI();
    connect(
        ui->settingsButton, &QPushButton::clicked, this, &NotificationDialog::showSettingsDialog);
    connect(ui->updateCheck, &QCheckBox::clicked, this, &NotificationDialog::onUpdateCheckClicked);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
}

NotificationDialog::~NotificationDialog() = default;

void NotificationDialog::closeEvent(QCloseEvent *event)
{
    // Closing only hides the window; exec() then returns.
    event->accept();
}

void NotificationDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event); // centres the window on its first show
    if (m_checkPending)
        return;
    m_checkPending = true;
    // Queued, so that the busy view is painted before the check blocks.
    QMetaObject::invokeMethod(this, "getPatchList", Qt::QueuedConnection);
}

void NotificationDialog::on_okButton_clicked()
{
    close();
}

void NotificationDialog::drawDialogGUI()
{
    ui->leftPanel->setObjectName(QStringLiteral("leftPanel"));
    ui->footer->setObjectName(QStringLiteral("footer"));
    ui->settingsButton->setObjectName(QStringLiteral("settingsButton"));
    ui->leftPanel->setStyleSheet(
        QStringLiteral("QLabel#leftPanel { background-color: #1e2d79; padding-top: 10px; }"));
    ui->footer->setStyleSheet(
        QStringLiteral("QFrame#footer { background-color: #eeeeee; border-top: 2px solid #777; }"));
    ui->leftPanel->setPixmap(QPixmap(QStringLiteral(":/images/Brivex_Server_Patch_150x480.png"))
                                 .scaled(150, 480, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    ui->settingsButton->setStyleSheet(
        QStringLiteral("QPushButton#settingsButton { background-color: rgba(255,255,255, 50%); }"));
    ui->progressView->setObjectName(QStringLiteral("progressView"));
    ui->progressView->setStyleSheet(
        QStringLiteral("QWidget#progressView { background: qlineargradient(x1: 0, y1: 0, x2: 0, "
                       "y2: 1,stop: 0 #ffffff, stop: 1.0 #dedede); padding: 10px; color: #444; "
                       "vertical-align: top; }"));
    ui->progressBar->setRange(0, 0); // busy indicator
    ui->progressBar->setValue(0);
}

void NotificationDialog::drawMainView()
{
    ui->mainView->setObjectName(QStringLiteral("mainView"));
    ui->mainView->setStyleSheet(
        QStringLiteral("QLabel#mainView { background: qlineargradient(x1: 0, y1: 0, x2: 0, y2: "
                       "1,stop: 0 #ffffff, stop: 1.0 #dedede); padding: 10px; color: #444; "
                       "vertical-align: top; }"));
    ui->mainView->setFont(QFont(QStringLiteral("Segoe UI Semibold"), 9));
    ui->mainView->setText(reportHtml(m_report));
    showMainView(true);
}

void NotificationDialog::showSettingsDialog()
{
    SettingsDialog dialog;
    if (dialog.exec() == QDialog::Accepted)
        writeSettings();
}

void NotificationDialog::getPatchList()
{
    const DownloadSettings settings = checkSettings(m_settings);
    const BrivexUpdate update(settings);
    noteCheckFailure(update.error()); // the window shows it
    // The check's own failure, not a settings file that could not be
    // written: that was told where it happened, and the updates stay.
    m_report = CheckReport::of(settings.url, update);
    m_checkPending = false;
    QMetaObject::invokeMethod(this, "drawMainView", Qt::QueuedConnection);
}

void NotificationDialog::onUpdateCheckClicked(bool checked)
{
    Q_UNUSED(checked);
    writeSettings();
}

void NotificationDialog::showMainView(bool show)
{
    ui->progressView->setVisible(!show);
    ui->mainView->setVisible(show);
}

void NotificationDialog::readSettings()
{
    ui->updateCheck->setChecked(Common::instance()->checkAtLogin);
}

void NotificationDialog::writeSettings()
{
    ui->updateCheck->setChecked(Utils::saveCheckAtLogin(ui->updateCheck->isChecked()));
}

#include "gui/settingsdialog.h"
#include "ui_settingsdialog.h"

#include "core/common.h"
#include "core/utils.h"
#include "gui/portvalidator.h"

#include <QNetworkProxy>

SettingsDialog::SettingsDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::SettingsDialog>())
{
    ui->setupUi(this);

    connect(
        ui->useProxyCheckbox, &QCheckBox::toggled, this, &SettingsDialog::useProxySettingsChecked);
    connect(ui->okButton, &QPushButton::clicked, this, &SettingsDialog::onOK);
    connect(ui->cancelButton, &QPushButton::clicked, this, &SettingsDialog::onCancel);

    const Common *store = Common::instance();
    ui->useProxyCheckbox->setChecked(store->useProxy);
    // Setting an unchanged check state emits nothing.
    useProxySettingsChecked(store->useProxy);

    const QNetworkProxy proxy = store->proxy;
    ui->proxyHost->setText(proxy.hostName());
    if (proxy.port() != 0)
        ui->proxyPort->setText(QString::number(proxy.port()));
    ui->proxyUsername->setText(proxy.user());
    ui->proxyPassword->setText(proxy.password());

    ui->proxyPort->setValidator(new PortValidator(this));
}

SettingsDialog::~SettingsDialog() = default;

void SettingsDialog::useProxySettingsChecked(bool checked)
{
    ui->proxySettingsGroupbox->setEnabled(checked);
}

void SettingsDialog::onOK()
{
    const QString host = ui->proxyHost->text();
    const QString port = ui->proxyPort->text();
    const QString user = ui->proxyUsername->text();
    const QString password = ui->proxyPassword->text();
    const bool useProxy = ui->useProxyCheckbox->isChecked();

    // Nothing changes before the fields pass: Cancel after a refused OK keeps
    // the settings as they were.
    if (useProxy && (host.isEmpty() || port.isEmpty())) {
        Utils::InfoMsg(
            tr("Missing Fields"), tr("You need to specify a proxy host and port."), nullptr);
        return;
    }
    Common *store = Common::instance();
    store->useProxy = useProxy;

    QNetworkProxy proxy;
    proxy.setHostName(host);
    proxy.setPort(static_cast<quint16>(port.toInt(nullptr, 10))); // 0 when not a number
    proxy.setUser(user);
    proxy.setPassword(password);
    proxy.setType(QNetworkProxy::HttpProxy);
    store->proxy = proxy;
    // The values stay in use for this run even when they cannot be saved.
    if (!store->saveSettings())
        store->showWriteError();
    accept();
}

void SettingsDialog::onCancel()
{
    reject();
}

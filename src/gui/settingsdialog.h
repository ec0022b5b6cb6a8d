#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class SettingsDialog;
}

// The modal dialog in which the user edits the HTTP proxy of the catalogue
// download; OK writes it into the settings store and saves the store.
class SettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SettingsDialog(QWidget *parent = nullptr);
    ~SettingsDialog() override;

public slots:
    void useProxySettingsChecked(bool checked);
    void onOK();
    void onCancel();

private:
    std::unique_ptr<Ui::SettingsDialog> ui;
};

#pragma once

#include "core/common.h"
#include "gui/settingsdialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QNetworkProxy>
#include <QPushButton>
#include <QTest>

// Drives the proxy settings dialog the way a user does, by its widgets' names.

template<typename T> T *child(QWidget *parent, const char *name)
{
    return parent->findChild<T *>(QString::fromLatin1(name));
}

// The stored proxy the dialog starts from; the built-in download, no error.
inline void setStore(bool useProxy, const QNetworkProxy &proxy)
{
    Common *store = Common::instance();
    store->useProxy = useProxy;
    store->proxy = proxy;
    store->useCurl = false;
    store->lastError = Common::ErrNone;
}

inline void fill(SettingsDialog *dialog, bool checked, const QString &host, const QString &port,
    const QString &user = QString(), const QString &password = QString())
{
    // Typing needs the fields enabled; the check box gets its state afterwards.
    child<QCheckBox>(dialog, "useProxyCheckbox")->setChecked(true);
    for (const char *name : {"proxyHost", "proxyPort", "proxyUsername", "proxyPassword"})
        child<QLineEdit>(dialog, name)->clear();
    child<QLineEdit>(dialog, "proxyHost")->insert(host);
    QTest::keyClicks(child<QLineEdit>(dialog, "proxyPort"), port); // through the validator
    child<QLineEdit>(dialog, "proxyUsername")->insert(user);
    child<QLineEdit>(dialog, "proxyPassword")->insert(password);
    child<QCheckBox>(dialog, "useProxyCheckbox")->setChecked(checked);
}

inline void click(SettingsDialog *dialog, const char *button)
{
    QTest::mouseClick(child<QPushButton>(dialog, button), Qt::LeftButton);
}

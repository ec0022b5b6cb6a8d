#pragma once

#include <QFileDevice>
#include <QList>
#include <QString>

class QNetworkProxy;
class QWidget;
struct PatchItem;
namespace BrivexProducts {
class BrivexProductBase;
}

// Static helpers shared by the whole program: environment and messages,
// network, product matching and the login autostart entry.
class Utils
{
public:
    Utils() = default;

    // Environment and messages
    static bool hasDisplay();
    static bool isGuiApp();
    static void InfoMsg(const QString &title, const QString &text, QWidget *parent);
    static void ErrorMsg(const QString &title, const QString &text, QWidget *parent);
    static QString fileErrorToString(const QFileDevice::FileError &error);
    static QString korvaneRootDir();

    // Network
    static QNetworkProxy networkProxyFromURL(const QString &url);
    static bool checkNetworkConnectivity();
    static bool isNetworkAccessable();

    // Product matching
    static bool thisPatchMatchesThisProduct(
        const BrivexProducts::BrivexProductBase &product, const PatchItem &item);
    static bool thisProductHasNewPatches(
        const BrivexProducts::BrivexProductBase &product, const QList<PatchItem> &items);
};

#include "app/consolereport.h"

#include "catalogue/productmatching.h"
#include "core/common.h"
#include "core/console.h"
#include "products/brivexconfig.h"
#include "products/brivexproductbase.h"

#include <QObject>

QStringList consoleReportLines(const QList<PatchItem> &items,
    const QList<BrivexProducts::BrivexProductBase *> &products,
    const QList<InstalledPatchEntry> &installedPatches, int checkError)
{
    const QString doubleRule(79, QLatin1Char('='));
    QStringList lines;
    lines << doubleRule
          << QStringLiteral("             Brivex for Server and Extensions Korvane               ")
          << doubleRule << QString() << QObject::tr(" Installed products:") << QString();
    for (const BrivexProducts::BrivexProductBase *product : products)
        lines << QStringLiteral("     %1 %2")
                     .arg(product->names().value(0), Console::printable(product->version()));
    lines << QString() << doubleRule << QString();

    if (checkError == Common::ErrNone) {
        lines << QObject::tr(" The following updates are available:") << QString();
        for (const BrivexProducts::BrivexProductBase *product : products) {
            lines << QObject::tr("  Updates for %1 %2")
                         .arg(product->names().value(0), Console::printable(product->version()));
            bool any = false;
            for (const PatchItem &item : items) {
                if (!Utils::thisPatchMatchesThisProduct(*product, item))
                    continue;
                lines << QStringLiteral("    - %1").arg(Console::printable(item.name))
                      << QStringLiteral("    - %1").arg(Console::printable(item.url)) << QString();
                any = true;
            }
            if (!any)
                lines << QStringLiteral("    (") + QObject::tr("no updates available")
                        + QStringLiteral(")");
        }
        lines << QString();
    } else {
        lines << QStringLiteral(">>>>>") + Common::errorString(checkError)
                + QStringLiteral("<<<<<");
    }

    // The installed patches form one text whose final newline, followed by
    // the line end, leaves an empty line.
    QString installed = QObject::tr("  Installed Patches\n");
    for (const InstalledPatchEntry &patch : installedPatches)
        installed += QStringLiteral("    - %1\n").arg(Console::printable(patch.name));
    if (installedPatches.isEmpty())
        installed += QStringLiteral("    (%1)\n").arg(QObject::tr("none"));
    lines << installed.split(QLatin1Char('\n')) << QString(79, QLatin1Char('-'));
    return lines;
}

void printItemListToConsole(const QList<PatchItem> &items, int checkError)
{
    const BrivexConfig *config = BrivexConfig::instance();
    Console::writeLines(consoleReportLines(
        items, config->installedProducts(), config->installedPatches(), checkError));
}

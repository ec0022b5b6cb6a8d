#include "app/consolereport.h"

#include "catalogue/productmatching.h"
#include "core/common.h"
#include "core/console.h"
#include "products/brivexconfig.h"
#include "products/brivexproductbase.h"

#include <QObject>

QStringList consoleReportLines(const QList<PatchItem> &items,
    const QList<BrivexProducts::BrivexProductBase *> &products,
    const QList<InstalledPatchEntry> &installedPatches, int lastError)
{
    const QString doubleRule(79, QLatin1Char('='));
    QStringList lines;
    lines << doubleRule
          << QStringLiteral("             Brivex for Server and Extensions Korvane               ")
          << doubleRule << QString() << QObject::tr(" Installed products:") << QString();
    for (const BrivexProducts::BrivexProductBase *product : products)
        lines << QStringLiteral("     %1 %2").arg(product->names().value(0), product->version());
    lines << QString() << doubleRule << QString();

    if (lastError == Common::ErrNone) {
        lines << QObject::tr(" The following updates are available:") << QString();
        for (const BrivexProducts::BrivexProductBase *product : products) {
            lines << QObject::tr("  Updates for %1 %2")
                         .arg(product->names().value(0), product->version());
            bool any = false;
            for (const PatchItem &item : items) {
                if (!Utils::thisPatchMatchesThisProduct(*product, item))
                    continue;
                lines << QStringLiteral("    - %1").arg(item.name)
                      << QStringLiteral("    - %1").arg(item.url) << QString();
                any = true;
            }
            if (!any)
                lines << QStringLiteral("    (") + QObject::tr("no updates available")
                        + QStringLiteral(")");
        }
        lines << QString();
    } else {
        lines << QStringLiteral(">>>>>") + Common::errorString(lastError) + QStringLiteral("<<<<<");
    }

    // The installed patches form one text whose final newline, followed by
    // the line end, leaves an empty line.
    QString installed = QObject::tr("  Installed Patches\n");
    for (const InstalledPatchEntry &patch : installedPatches)
        installed += QStringLiteral("    - %1\n").arg(patch.name);
    if (installedPatches.isEmpty())
        installed += QStringLiteral("    (%1)\n").arg(QObject::tr("none"));
    lines << installed.split(QLatin1Char('\n')) << QString(79, QLatin1Char('-'));
    return lines;
}

void printItemListToConsole(const QList<PatchItem> &items)
{
    const BrivexConfig *config = BrivexConfig::instance();
    const QStringList lines = consoleReportLines(items, config->installedProducts(),
        config->installedPatches(), Common::instance()->lastError);
    for (const QString &line : lines)
        Console::writeLine(line);
}

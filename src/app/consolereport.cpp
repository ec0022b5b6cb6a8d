#include "app/consolereport.h"

#include "catalogue/checkreport.h"
#include "core/common.h"
#include "core/console.h"

#include <QObject>

QStringList consoleReportLines(const CheckReport &report)
{
    const QString doubleRule(79, QLatin1Char('='));
    QStringList lines;
    lines << doubleRule
          << QStringLiteral("             Brivex for Server and Extensions Korvane               ")
          << doubleRule << QString() << QObject::tr(" Installed products:") << QString();
    for (const CheckReport::Product &product : report.products)
        lines
            << QStringLiteral("     %1 %2").arg(product.name, Console::printable(product.version));
    lines << QString() << doubleRule << QString();

    if (!report.error.failed()) {
        lines << QObject::tr(" The following updates are available:") << QString();
        for (const CheckReport::Product &product : report.products) {
            lines << QObject::tr("  Updates for %1 %2")
                         .arg(product.name, Console::printable(product.version));
            bool any = false;
            for (const CheckReport::Update &update : report.updates) {
                if (!report.listsUnder(update, product))
                    continue;
                lines << QStringLiteral("    - %1").arg(Console::printable(update.patch.name))
                      << QStringLiteral("    - %1").arg(Console::printable(update.patch.url))
                      << QString();
                any = true;
            }
            if (!any)
                lines << QStringLiteral("    (") + QObject::tr("no updates available")
                        + QStringLiteral(")");
        }
        lines << QString();
    } else {
        lines << QStringLiteral(">>>>>") + Common::errorString(report.error.code)
                + QStringLiteral("<<<<<");
    }

    // The installed patches form one text whose final newline, followed by
    // the line end, leaves an empty line.
    QString installed = QObject::tr("  Installed Patches\n");
    for (const InstalledPatchEntry &patch : report.installedPatches)
        installed += QStringLiteral("    - %1\n").arg(Console::printable(patch.name));
    if (report.installedPatches.isEmpty())
        installed += QStringLiteral("    (%1)\n").arg(QObject::tr("none"));
    lines << installed.split(QLatin1Char('\n')) << QString(79, QLatin1Char('-'));
    return lines;
}

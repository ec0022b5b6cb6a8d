#include "app/consolereport.h"

#include "catalogue/checkreport.h"
#include "core/common.h"
#include "core/console.h"

#include <QObject>

namespace {

// Collects lines as a list does, but hands each on at once.
struct Lines
{
    const std::function<void(const QString &)> &line;

    Lines &operator<<(const QString &text)
    {
        line(text);
        return *this;
    }
    Lines &operator<<(const QStringList &texts)
    {
        for (const QString &text : texts)
            line(text);
        return *this;
    }
};

} // namespace

void consoleReport(const CheckReport &report, const std::function<void(const QString &)> &line)
{
    const QString doubleRule(79, QLatin1Char('='));
    Lines lines {line};
    lines << doubleRule
          << QStringLiteral("             Brivex for Server and Extensions Korvane               ")
          << doubleRule << QString() << QObject::tr(" Installed products:") << QString();
    for (const CheckReport::Product &product : report.products)
        lines << QStringLiteral("     %1 %2")
                     .arg(Console::printable(product.name), Console::printable(product.version));
    lines << QString() << doubleRule << QString();

    if (!report.error.failed()) {
        lines << QObject::tr(" The following updates are available:") << QString();
        for (const CheckReport::Product &product : report.products) {
            lines << QObject::tr("  Updates for %1 %2")
                         .arg(
                             Console::printable(product.name), Console::printable(product.version));
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

    // The heading has always been translated with its newline.
    lines << QObject::tr("  Installed Patches\n").chopped(1);
    for (const InstalledPatchEntry &patch : report.installedPatches)
        lines << QStringLiteral("    - %1").arg(Console::printable(patch.name));
    if (report.installedPatches.isEmpty())
        lines << QStringLiteral("    (%1)").arg(QObject::tr("none"));
    lines << QString() << QString(79, QLatin1Char('-'));
}

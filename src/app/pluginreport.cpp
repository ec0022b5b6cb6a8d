#include "app/pluginreport.h"

#include "app/exitstatus.h"
#include "catalogue/checkreport.h"
#include "core/console.h"

#include <QObject>

namespace {

// A '|' would start the performance data, and a line break a new line; other
// controls are replaced as on the console.
QString plain(QString text)
{
    return Console::printable(text.replace(QLatin1Char('|'), QLatin1Char('/'))
                                  .replace(QLatin1Char('\r'), QLatin1Char(' '))
                                  .replace(QLatin1Char('\n'), QLatin1Char(' ')));
}

QString productCount(qsizetype count)
{
    return count == 1 ? QObject::tr("1 installed product")
                      : QObject::tr("%1 installed products").arg(count);
}

} // namespace

QString pluginUpdateLine(const CheckReport &report, const CheckReport::Update &update)
{
    QStringList products;
    for (const CheckReport::Product &product : report.products) {
        if (report.listsUnder(update, product))
            products.append(product.name + QLatin1Char(' ') + product.version);
    }
    return plain(QStringLiteral("%1: %2 %3")
                     .arg(products.join(QLatin1String(", ")), update.patch.name, update.patch.url));
}

namespace {

// The state's name, by the plugin's exit status.
QString statusLine(
    int status, const QString &summary, const QString &updates, const QString &security)
{
    static const char *const stateNames[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};
    return QStringLiteral("KORVANE %1 - %2 | updates=%3;0;;0 security_updates=%4;;0;0")
        .arg(QLatin1String(stateNames[status]), plain(summary), updates, security);
}

QString summaryOf(const CheckReport &report, bool countNew = false)
{
    const qsizetype updates = report.updates.size();
    const qsizetype security = report.securityUpdateCount();
    if (report.error.failed())
        return report.error.message;
    if (report.products.isEmpty())
        return QObject::tr("No installed products were found for this user.");
    if (updates == 0)
        return QObject::tr("no updates for %1").arg(productCount(report.products.size()));
    QString count = updates == 1
        ? QObject::tr("1 update (%1 security)").arg(security)
        : QObject::tr("%1 updates (%2 security)").arg(updates).arg(security);
    if (countNew) {
        const qsizetype marked = report.newUpdateCount();
        count = updates == 1
            ? QObject::tr("1 update (%1 security, %2 new)").arg(security).arg(marked)
            : QObject::tr("%1 updates (%2 security, %3 new)")
                  .arg(updates)
                  .arg(security)
                  .arg(marked);
    }
    return QObject::tr("%1 for %2").arg(count, productCount(report.products.size()));
}

} // namespace

QString pluginUnknownLine(const QString &reason)
{
    return statusLine(exitStatus(Output::Plugin, Outcome::Failed), reason, QStringLiteral("U"),
        QStringLiteral("U"));
}

QString pluginSummary(const CheckReport &report, bool countNew)
{
    return plain(summaryOf(report, countNew));
}

PluginReport pluginReport(const CheckReport &report, const QString &note)
{
    QString summary = summaryOf(report);
    if (!note.isEmpty())
        summary += QStringLiteral("; ") + note;
    const int status = exitStatus(Output::Plugin, outcomeOf(report));
    // A failed check has no counts to graph: "U" is the plugins' unknown value.
    const bool counted = !report.error.failed();
    return {status,
        statusLine(status, summary,
            counted ? QString::number(report.updates.size()) : QStringLiteral("U"),
            counted ? QString::number(report.securityUpdateCount()) : QStringLiteral("U"))};
}

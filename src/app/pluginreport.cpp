#include "app/pluginreport.h"

#include "app/checkfacts.h"
#include "core/console.h"
#include "products/brivexproductbase.h"

#include <QObject>

namespace {

enum State { Ok, Warning, Critical, Unknown };

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

QString updateLine(const CheckFacts &facts, const PatchItem &update)
{
    QStringList products;
    for (const BrivexProducts::BrivexProductBase *product : facts.productsOf(update))
        products.append(product->names().value(0) + QLatin1Char(' ') + product->version());
    return plain(QStringLiteral("%1: %2 %3")
                     .arg(products.join(QLatin1String(", ")), update.name, update.url));
}

QString statusLine(State state, const QString &summary, const QString &updates,
    const QString &security)
{
    static const char *const stateNames[] = {"OK", "WARNING", "CRITICAL", "UNKNOWN"};
    return QStringLiteral("KORVANE %1 - %2 | updates=%3;0;;0 security_updates=%4;;0;0")
        .arg(QLatin1String(stateNames[state]), plain(summary), updates, security);
}

} // namespace

QString pluginUsageLine(const QString &reason)
{
    return statusLine(Unknown, reason, QStringLiteral("U"), QStringLiteral("U"));
}

PluginReport pluginReport(const CheckFacts &facts)
{
    const qsizetype updates = facts.updates.size();
    const qsizetype security = facts.securityUpdateCount();
    State state = Unknown;
    QString summary;
    if (facts.error.failed()) {
        summary = facts.error.message;
    } else if (facts.products.isEmpty()) {
        summary = QObject::tr("No installed products were found for this user.");
    } else if (updates == 0) {
        state = Ok;
        summary = QObject::tr("no updates for %1").arg(productCount(facts.products.size()));
    } else {
        state = security > 0 ? Critical : Warning;
        const QString count = updates == 1
            ? QObject::tr("1 update (%1 security)").arg(security)
            : QObject::tr("%1 updates (%2 security)").arg(updates).arg(security);
        summary = QObject::tr("%1 for %2").arg(count, productCount(facts.products.size()));
    }

    // A failed check has no counts to graph: "U" is the plugins' unknown value.
    const bool counted = !facts.error.failed();
    PluginReport report;
    report.status = state;
    report.lines.append(statusLine(state, summary,
        counted ? QString::number(updates) : QStringLiteral("U"),
        counted ? QString::number(security) : QStringLiteral("U")));
    for (const PatchItem &update : facts.updates)
        report.lines.append(updateLine(facts, update));
    return report;
}

#include "app/metrics.h"

#include "app/jsonreport.h"

#include <QSet>

#include <algorithm>

namespace {

// A label value as the text format takes it: backslash, double quote and
// line feed escaped, so that a name from a hostile installation cannot break
// the file.
QByteArray labelValue(const QString &text)
{
    QByteArray out;
    for (const char c : text.toUtf8()) {
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

class Families
{
public:
    explicit Families(const QString &user)
        : m_user("user=\"" + labelValue(user) + '"')
    { }

    void family(const char *name, const char *help)
    {
        m_name = name;
        m_text += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + " gauge\n";
    }
    void series(qint64 value, const QByteArray &labels = {})
    {
        m_text += m_name + '{' + m_user + labels + "} " + QByteArray::number(value) + '\n';
    }

    QByteArray text() const { return m_text; }

private:
    const QByteArray m_user;
    QByteArray m_name;
    QByteArray m_text;
};

} // namespace

QByteArray metricsText(const JsonReport &document)
{
    const CheckReport &report = document.report;
    // A report kept after a failed check still counts: its updates are still
    // pending as far as anyone knows.
    const bool failed = report.error.failed() || document.lastFailure;
    const bool succeededOnce = !report.error.failed();
    const QDateTime checkedAt
        = document.lastFailure ? document.lastFailure->checkedAt : document.checkedAt;

    qint64 security = 0;
    qint64 marked = 0;
    if (succeededOnce) {
        security = report.securityUpdateCount();
        marked = report.newUpdateCount();
    }
    const qint64 pending = succeededOnce ? report.updates.size() : 0;

    Families metrics(document.user);
    metrics.family("korvane_updates_pending",
        "Updates that apply to an installed product and are not installed.");
    metrics.series(security, ",security=\"true\"");
    metrics.series(pending - security, ",security=\"false\"");
    metrics.family("korvane_product_updates_pending",
        "Updates pending for one installed product (an update listed under two products counts "
        "for each).");
    // Two installations of one product and release are one series: a series
    // given twice makes node-exporter drop the file.
    QSet<QString> written;
    for (const CheckReport::Product &product : report.products) {
        if (written.contains(product.name + QLatin1Char('\n') + product.version))
            continue;
        written.insert(product.name + QLatin1Char('\n') + product.version);
        const qint64 count = !succeededOnce
            ? 0
            : std::count_if(report.updates.begin(), report.updates.end(),
                [&](const CheckReport::Update &update) {
                    return report.listsUnder(update, product);
                });
        metrics.series(count,
            ",product=\"" + labelValue(product.name) + "\",version=\"" + labelValue(product.version)
                + '"');
    }
    metrics.family("korvane_updates_new", "Updates pending that the check before did not list.");
    metrics.series(marked);
    metrics.family("korvane_products_installed", "Installed products the check found.");
    metrics.series(report.products.size());
    metrics.family("korvane_check_success", "Whether the last check succeeded (1) or failed (0).");
    metrics.series(failed ? 0 : 1);
    metrics.family("korvane_check_timestamp_seconds",
        "When the last check ran, successful or not, in seconds since 1970.");
    metrics.series(checkedAt.toSecsSinceEpoch());
    // Unknown without a successful check, and so not written at all.
    if (succeededOnce) {
        metrics.family("korvane_last_success_timestamp_seconds",
            "When the last successful check ran, in seconds since 1970.");
        metrics.series(document.checkedAt.toSecsSinceEpoch());
    }
    metrics.family("korvane_catalogue_bytes_received",
        "Bytes of the catalogue's body the last check received (0 for a local file or a copy "
        "kept unchanged).");
    metrics.series(report.transfer ? report.transfer->bytes : 0);
    metrics.family("korvane_build_info", "The version of korvane that wrote the metrics.");
    metrics.series(1, ",version=\"" KORVANE_VERSION "\"");
    return metrics.text();
}

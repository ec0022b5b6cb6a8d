#include "app/presentation.h"

#include "app/consolereport.h"
#include "app/exitstatus.h"
#include "app/jsonreport.h"
#include "app/pluginreport.h"
#include "catalogue/checkreport.h"
#include "core/console.h"
#include "core/utils.h"

#include <QObject>

void tellWhenNothingIsInstalled(const CheckReport &report)
{
    // "No updates" for a machine where nothing was found would be misleading:
    // most likely the check ran as another user than the installation.
    if (report.products.isEmpty()) {
        Utils::InfoMsg(QObject::tr("No Products"),
            QObject::tr("No installed products were found for this user."), nullptr);
    }
}

int presentReport(const CheckReport &report, ReportFormat format, const QByteArray &document,
    const QString &pluginNote)
{
    tellWhenNothingIsInstalled(report);
    switch (format) {
    case ReportFormat::Json:
        Console::writeDocument(document);
        return jsonReportStatus(report);
    case ReportFormat::Plugin: {
        const PluginReport plugin = pluginReport(report, pluginNote);
        Console::writeDocument(plugin.lines.join(QLatin1Char('\n')).toUtf8() + '\n');
        return plugin.status;
    }
    case ReportFormat::Text:
        break;
    }
    if (!report.updates.isEmpty())
        Console::writeLines(consoleReportLines(report));
    else if (!report.error.failed())
        Console::writeLine(QObject::tr("No updates available."));
    // Otherwise the failure has been reported where it happened.
    return report.error.failed() ? ExitStatus::Failure : ExitStatus::Success;
}

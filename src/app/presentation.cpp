#include "app/presentation.h"

#include "app/consolereport.h"
#include "app/exitstatus.h"
#include "app/jsonreport.h"
#include "app/jsonwriter.h"
#include "app/pluginreport.h"
#include "catalogue/checkreport.h"
#include "core/common.h"
#include "core/console.h"
#include "core/utils.h"

#include <QObject>

Output outputOf(ReportFormat format)
{
    switch (format) {
    case ReportFormat::Json:
        return Output::Json;
    case ReportFormat::Plugin:
        return Output::Plugin;
    case ReportFormat::Text:
        break;
    }
    return Output::Console;
}

void tellWhenNothingIsInstalled(const JsonReport &document, Origin origin)
{
    const CheckReport &report = document.report;
    if (!report.products.isEmpty() || report.error.code == Common::ErrSystemConfig)
        return;
    const QString user = Console::printable(document.user);
    QString text;
    if (origin == Origin::Stored) {
        text = user.isEmpty() ? QObject::tr("The check of the stored report found no installed "
                                            "products.")
                              : QObject::tr("The check of the stored report, run as the user %1, "
                                            "found no installed products.")
                                    .arg(user);
    } else {
        text = QObject::tr("No installed products were found for the user %1. Run korvane as the "
                           "user who installed them, or read the report their check stores with "
                           "-f.")
                   .arg(user);
    }
    Utils::InfoMsg(QObject::tr("No Products"), text, nullptr);
}

int presentReport(
    const JsonReport &document, Origin origin, ReportFormat format, const QString &pluginNote)
{
    const CheckReport &report = document.report;
    tellWhenNothingIsInstalled(document, origin);
    switch (format) {
    case ReportFormat::Json: {
        // Written as it is encoded: a long report is never held twice.
        JsonWriter json([](QByteArrayView piece) { Console::writeDocument(piece.toByteArray()); });
        document.write(json);
        return exitStatus(Output::Json, outcomeOf(report));
    }
    case ReportFormat::Plugin: {
        const PluginReport plugin = pluginReport(report, pluginNote);
        QByteArray out = plugin.statusLine.toUtf8() + '\n';
        for (const CheckReport::Update &update : report.updates) {
            out += pluginUpdateLine(report, update).toUtf8() + '\n';
            if (out.size() >= 64 * 1024) {
                Console::writeDocument(out);
                out.clear();
            }
        }
        Console::writeDocument(out);
        return plugin.status;
    }
    case ReportFormat::Text:
        break;
    }
    if (!report.updates.isEmpty()) {
        Console::LineWriter writer;
        consoleReport(report, [&writer](const QString &line) { writer.add(line); });
    } else if (!report.error.failed())
        Console::writeLine(QObject::tr("No updates available."));
    // Otherwise the failure has been reported where it happened.
    return exitStatus(Output::Console, outcomeOf(report));
}

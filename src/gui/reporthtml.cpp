#include "gui/reporthtml.h"

#include "catalogue/checkreport.h"
#include "core/common.h"
#include "core/console.h"

#include <QCoreApplication>
#include <QUrl>

namespace {

// Text from the catalogue or the installation, shown as text: escaped, and
// without control characters or bidirectional controls.
QString shown(const QString &text)
{
    return Console::printable(text).toHtmlEscaped();
}

QString productTitle(const CheckReport::Product &product)
{
    return shown(product.name) + QLatin1Char(' ') + shown(product.version);
}

QString patchEntry(const PatchItem &patch)
{
    const QString name = shown(patch.name);
    // Double quotes, which toHtmlEscaped escapes, so the address cannot leave
    // its attribute.
    QString html = isWebLink(patch.url)
        ? QStringLiteral("<li><a href=\"%1\">%2</a>").arg(patch.url.toHtmlEscaped(), name)
        : patch.url.isEmpty() ? QStringLiteral("<li>%1").arg(name)
                              : QStringLiteral("<li>%1 (%2)").arg(name, shown(patch.url));
    // Said in words, not by colour alone.
    if (patch.isSecurityPatch())
        html += QStringLiteral(" <span style='background-color: #c22; color: white'>&nbsp;%1&nbsp;"
                               "</span>")
                    .arg(QCoreApplication::translate("NotificationDialog", "Security update"));
    html += QStringLiteral("<br>");
    html += QCoreApplication::translate("NotificationDialog", "Products")
        + QStringLiteral(": %1<br>").arg(shown(patch.products));
    html += QCoreApplication::translate("NotificationDialog", "Release Date")
        + QStringLiteral(": %1<br>").arg(shown(patch.releaseDate));
    return html + QStringLiteral("</li>");
}

} // namespace

bool isWebLink(const QString &url)
{
    const QUrl parsed(url, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    return parsed.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !parsed.host().isEmpty();
}

QString wrappableHtml(const QString &text)
{
    // A label breaks lines only between words; an address is one long word.
    constexpr int kLongestPiece = 24;
    QString html;
    int piece = 0;
    for (const QChar c : Console::printable(text)) {
        html += QString(c).toHtmlEscaped();
        piece = c.isSpace() ? 0 : piece + 1;
        if (piece >= kLongestPiece || (piece > 1 && (c == u'/' || c == u'?' || c == u'&'))) {
            html += QChar(0x200B); // zero width space: a place to break
            piece = 0;
        }
    }
    return html;
}

QString reportHtml(const CheckReport &report)
{
    QString html = QStringLiteral("<h3 style='color: #222'>")
        + QCoreApplication::translate("NotificationDialog", "Product Information")
        + QStringLiteral("</h3>");
    for (const CheckReport::Product &product : report.products) {
        html += QStringLiteral("<ul style='type: none'><li><b>%1</b></span></li></ul>")
                    .arg(productTitle(product));
    }
    html += QStringLiteral("<hr>");

    if (report.error.failed()) {
        html += QStringLiteral("<h4 style='color: #c22'>")
            + Common::errorString(report.error.code).toHtmlEscaped() + QStringLiteral("</h4>");
        // The details, which a message box showed before the window.
        if (!report.error.message.isEmpty())
            html += QStringLiteral("<p>%1</p>").arg(wrappableHtml(report.error.message));
    } else {
        for (const CheckReport::Product &product : report.products) {
            html += QStringLiteral("<h3 style='color: #222'>")
                + QCoreApplication::translate("NotificationDialog", "Updates for %1 %2")
                      .arg(shown(product.name), shown(product.version))
                + QStringLiteral("</h3><ul>");
            bool any = false;
            for (const CheckReport::Update &update : report.updates) {
                if (!report.listsUnder(update, product))
                    continue;
                html += patchEntry(update.patch);
                any = true;
            }
            if (!any)
                html += QLatin1Char('(')
                    + QCoreApplication::translate("NotificationDialog", "no updates available")
                    + QStringLiteral(")<br>");
            html += QStringLiteral("</ul>");
        }
        if (report.products.isEmpty())
            html += QStringLiteral("<p>No products found!</p>");
    }

    html += QStringLiteral("<hr><h3 style='color: #222'>")
        + QCoreApplication::translate("NotificationDialog", "Installed Patches")
        + QStringLiteral("</h3><ul style='type: square;'>");
    for (const InstalledPatchEntry &patch : report.installedPatches)
        html += QStringLiteral("<li>") + shown(patch.name);
    return html + QStringLiteral("</ul>");
}

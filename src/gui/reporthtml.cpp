#include "gui/reporthtml.h"

#include "catalogue/productmatching.h"
#include "core/common.h"
#include "core/console.h"
#include "products/brivexproductbase.h"

#include <QCoreApplication>
#include <QUrl>

namespace {

// Text from the catalogue or the installation, shown as text: escaped, and
// without control characters or bidirectional controls.
QString shown(const QString &text)
{
    return Console::printable(text).toHtmlEscaped();
}

QString productTitle(const BrivexProducts::BrivexProductBase &product)
{
    return shown(product.names().value(0)) + QLatin1Char(' ')
        + shown(product.version());
}

QString patchEntry(const PatchItem &patch)
{
    const QString name = shown(patch.name);
    // Double quotes, which toHtmlEscaped escapes, so the address cannot leave
    // its attribute.
    QString html = isWebLink(patch.url)
        ? QStringLiteral("<li><a href=\"%1\">%2</a><br>").arg(patch.url.toHtmlEscaped(), name)
        : patch.url.isEmpty()
        ? QStringLiteral("<li>%1<br>").arg(name)
        : QStringLiteral("<li>%1 (%2)<br>").arg(name, shown(patch.url));
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

QString reportHtml(const QList<PatchItem> &patches,
    const QList<BrivexProducts::BrivexProductBase *> &products,
    const QList<InstalledPatchEntry> &installedPatches, int lastError)
{
    QString html = QStringLiteral("<h3 style='color: #222'>")
        + QCoreApplication::translate("NotificationDialog", "Product Information")
        + QStringLiteral("</h3>");
    for (const BrivexProducts::BrivexProductBase *product : products) {
        html += QStringLiteral("<ul style='type: none'><li><b>%1</b></span></li></ul>")
                    .arg(productTitle(*product));
    }
    html += QStringLiteral("<hr>");

    if (lastError != Common::ErrNone) {
        html += QStringLiteral("<h4 style='color: #c22'>")
            + Common::errorString(lastError).toHtmlEscaped() + QStringLiteral("</h4>");
    } else {
        for (const BrivexProducts::BrivexProductBase *product : products) {
            html += QStringLiteral("<h3 style='color: #222'>")
                + QCoreApplication::translate("NotificationDialog", "Updates for %1 %2")
                      .arg(shown(product->names().value(0)), shown(product->version()))
                + QStringLiteral("</h3><ul>");
            bool any = false;
            for (const PatchItem &patch : patches) {
                if (!Utils::thisPatchMatchesThisProduct(*product, patch))
                    continue;
                html += patchEntry(patch);
                any = true;
            }
            if (!any)
                html += QLatin1Char('(')
                    + QCoreApplication::translate("NotificationDialog", "no updates available")
                    + QStringLiteral(")<br>");
            html += QStringLiteral("</ul>");
        }
        if (products.isEmpty())
            html += QStringLiteral("<p>No products found!</p>");
    }

    html += QStringLiteral("<hr><h3 style='color: #222'>")
        + QCoreApplication::translate("NotificationDialog", "Installed Patches")
        + QStringLiteral("</h3><ul style='type: square;'>");
    for (const InstalledPatchEntry &patch : installedPatches)
        html += QStringLiteral("<li>") + shown(patch.name);
    return html + QStringLiteral("</ul>");
}

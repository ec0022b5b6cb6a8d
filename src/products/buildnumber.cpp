#include "products/buildnumber.h"

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

bool BuildNumber::confirmsVersion(const QByteArray &text, const QString &version)
{
    if (version.isEmpty())
        return false;
    const QByteArray wanted = version.toUtf8();
    for (qsizetype at = text.indexOf(wanted); at >= 0; at = text.indexOf(wanted, at + 1)) {
        const qsizetype end = at + wanted.size();
        const bool startsWhole = at == 0 || (!isDigit(text.at(at - 1)) && text.at(at - 1) != '.');
        const bool endsWhole = end == text.size() || !isDigit(text.at(end));
        if (startsWhole && endsWhole)
            return true;
    }
    return false;
}

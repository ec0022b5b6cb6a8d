#pragma once

#include <QHashFunctions>
#include <QString>

// One patch of the vendor's catalogue, with its texts as the catalogue gives them.
struct PatchItem
{
    QString name;
    QString products;
    QString securityPatch;
    QString platform;
    QString url;
    QString qfeId;
    QString releaseDate;

    // The catalogue marks a security patch with true, as a JSON boolean (read
    // as the text "true") or as text in any letter case.
    bool isSecurityPatch() const
    {
        return securityPatch.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    }

    friend bool operator==(const PatchItem &a, const PatchItem &b)
    {
        return a.name == b.name && a.products == b.products && a.securityPatch == b.securityPatch
            && a.platform == b.platform && a.url == b.url && a.qfeId == b.qfeId
            && a.releaseDate == b.releaseDate;
    }
    friend bool operator!=(const PatchItem &a, const PatchItem &b) { return !(a == b); }

    friend size_t qHash(const PatchItem &item, size_t seed = 0)
    {
        return qHashMulti(seed, item.name, item.products, item.securityPatch, item.platform,
            item.url, item.qfeId, item.releaseDate);
    }
};

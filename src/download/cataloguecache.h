#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>

class QFile;
class QTemporaryFile;

// What a server sent to tell a later request whether the catalogue changed:
// its ETag and Last-Modified headers, exactly as they came.
struct Validators
{
    QByteArray etag;
    QByteArray lastModified;

    bool isEmpty() const { return etag.isEmpty() && lastModified.isEmpty(); }
};

// The kept copy of one catalogue URL (the password left out of the key): the
// body as received (unpacked), its validators and when it was fetched, so that
// a check of an unchanged catalogue costs a 304. Both download clients use
// it. An entry is a small index file naming a body file; a new body is
// written beside the old one and put in place by renaming a new index, under
// a lock, so that two runs at once never see a half-written entry. A body
// is locked while it is written, so that what a killed run left can be told
// from what another run is writing, and removed. Nothing here is fatal: a
// cache that cannot be read or written is logged, and the check goes on
// without it.
class CatalogueCache
{
public:
    // The folder: $CACHE_DIRECTORY when it is absolute (systemd sets it for
    // CacheDirectory=), else $XDG_CACHE_HOME/korvane when absolute, else
    // $HOME/.cache/korvane; empty when none of them is usable.
    static QString folder(
        const QString &cacheDirectory, const QString &xdgCacheHome, const QString &home);

    // The kept entry of a URL, its body already open, so that a 304 always
    // has something to read.
    struct Kept
    {
        Validators validators;
        QDateTime fetchedAt;
        std::unique_ptr<QFile> body;
    };

    CatalogueCache(const QString &folder, const QString &url);
    ~CatalogueCache();
    Q_DISABLE_COPY(CatalogueCache)

    // Nothing when there is no usable entry.
    std::optional<Kept> open() const;

    // A new body, written beside the kept one as it arrives.
    void write(QByteArrayView piece);
    // Makes the body written the kept entry, with its validators; only after
    // it has been read as a catalogue. Without validators nothing is kept.
    // Removes the bodies that no entry names and no run is writing.
    void keep(const Validators &validators);
    // Only removes them: after a check that read the kept copy.
    void removeLeftovers();

private:
    // What the entry's index says; nothing when it is missing, or damaged
    // (then *damaged is set).
    struct Index
    {
        Validators validators;
        QDateTime fetchedAt;
        QString bodyPath;
    };
    std::optional<Index> readIndex(bool *damaged) const;
    // The bodies of this URL but the one kept, unless a run is writing them.
    void removeBodiesBut(const QString &keptBody) const;
    QString path(const QString &name) const;

    QString m_folder; // empty: no cache
    QString m_key; // the URL without its password
    QString m_name; // of the entry's files
    std::unique_ptr<QTemporaryFile> m_body; // being written
    bool m_writeFailed = false;
};

#include "download/cataloguecache.h"

#include "core/logger.h"
#include "core/safefile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QUrl>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// The entry's index: what it is, then one "name value" line each.
constexpr QByteArrayView kFirstLine = "korvane catalogue cache 1";
constexpr qint64 kLongestIndex = 64 * 1024;

void log(Severity::Severity severity, const QString &text)
{
    Logger::instance()->Print(severity, text);
}

// A header value as an index line holds it: one line of visible text.
bool isLine(const QByteArray &value)
{
    return !value.contains('\n') && !value.contains('\r') && !value.contains('\0');
}

} // namespace

QString CatalogueCache::folder(
    const QString &cacheDirectory, const QString &xdgCacheHome, const QString &home)
{
    if (QDir::isAbsolutePath(cacheDirectory))
        return QDir::cleanPath(cacheDirectory);
    if (QDir::isAbsolutePath(xdgCacheHome))
        return QDir::cleanPath(xdgCacheHome) + QStringLiteral("/korvane");
    if (QDir::isAbsolutePath(home))
        return QDir::cleanPath(home) + QStringLiteral("/.cache/korvane");
    return QString();
}

CatalogueCache::CatalogueCache(const QString &folder, const QString &url)
    : m_folder(folder)
    , m_key(QUrl(url).toString(QUrl::RemovePassword))
    , m_name(QString::fromLatin1(
          QCryptographicHash::hash(m_key.toUtf8(), QCryptographicHash::Sha256).toHex().left(32)))
{ }

CatalogueCache::~CatalogueCache() = default;

QString CatalogueCache::path(const QString &name) const
{
    return m_folder + QLatin1Char('/') + name;
}

std::optional<CatalogueCache::Index> CatalogueCache::readIndex(bool *damaged) const
{
    *damaged = false;
    QString problem;
    const int descriptor = SafeFile::openRegular(path(m_name + QStringLiteral(".index")), &problem);
    if (descriptor < 0)
        return std::nullopt;
    QFile file;
    file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    const QList<QByteArray> lines = file.read(kLongestIndex).split('\n');
    Index index;
    QByteArray url, body;
    for (const QByteArray &line : lines.mid(1)) {
        const QByteArray name = line.left(line.indexOf(' '));
        const QByteArray value = line.mid(name.size() + 1);
        if (name == "url")
            url = value;
        else if (name == "etag")
            index.validators.etag = value;
        else if (name == "last-modified")
            index.validators.lastModified = value;
        else if (name == "fetched")
            index.fetchedAt = QDateTime::fromString(QString::fromLatin1(value), Qt::ISODate);
        else if (name == "body")
            body = value;
    }
    // Another entry's, or a damaged one: as good as none.
    if (lines.value(0) != kFirstLine || QString::fromUtf8(url) != m_key || body.contains('/')
        || body.isEmpty() || index.validators.isEmpty()) {
        *damaged = true;
        return std::nullopt;
    }
    index.bodyPath = path(QString::fromUtf8(body));
    return index;
}

std::optional<CatalogueCache::Kept> CatalogueCache::open() const
{
    if (m_folder.isEmpty())
        return std::nullopt;
    bool damaged = false;
    std::optional<Index> index = readIndex(&damaged);
    if (damaged) {
        log(Severity::Warning,
            QStringLiteral("The kept copy of the catalogue in %1 cannot be used; the catalogue "
                           "is fetched whole.")
                .arg(m_folder));
    }
    if (!index)
        return std::nullopt;
    QString problem;
    const int descriptor = SafeFile::openRegular(index->bodyPath, &problem);
    if (descriptor < 0) {
        log(Severity::Warning,
            QStringLiteral("The kept copy of the catalogue cannot be read (%1); the catalogue is "
                           "fetched whole.")
                .arg(problem));
        return std::nullopt;
    }
    Kept kept {index->validators, index->fetchedAt, std::make_unique<QFile>()};
    kept.body->open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    return kept;
}

void CatalogueCache::write(QByteArrayView piece)
{
    if (m_folder.isEmpty() || m_writeFailed)
        return;
    if (!m_body) {
        m_body = std::make_unique<QTemporaryFile>(path(m_name + QStringLiteral(".XXXXXX.body")));
        // Locked while this run lives: a body that is not was left by a run
        // that was killed.
        QString problem;
        if (!QDir().mkpath(m_folder) || !m_body->open())
            problem = m_body->errorString();
        else if (::flock(m_body->handle(), LOCK_EX | LOCK_NB) != 0)
            problem = QString::fromLocal8Bit(std::strerror(errno));
        if (!problem.isEmpty()) {
            m_writeFailed = true;
            log(Severity::Warning,
                QStringLiteral("The catalogue cannot be kept in %1: %2").arg(m_folder, problem));
            return;
        }
    }
    if (m_body->write(piece.data(), piece.size()) != piece.size()) {
        m_writeFailed = true;
        log(Severity::Warning,
            QStringLiteral("The catalogue cannot be kept in %1: %2")
                .arg(m_folder, m_body->errorString()));
    }
}

void CatalogueCache::keep(const Validators &validators)
{
    if (!m_body || m_writeFailed || validators.isEmpty() || !isLine(validators.etag)
        || !isLine(validators.lastModified))
        return;
    const auto failed = [this](const QString &why) {
        log(Severity::Warning,
            QStringLiteral("The catalogue cannot be kept in %1: %2").arg(m_folder, why));
    };
    if (!m_body->flush() || ::fsync(m_body->handle()) != 0)
        return failed(m_body->errorString());
    const QString body = QFileInfo(m_body->fileName()).fileName();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QByteArray index = kFirstLine.toByteArray() + "\nurl " + m_key.toUtf8() + "\netag "
        + validators.etag + "\nlast-modified " + validators.lastModified + "\nfetched "
        + now.toString(Qt::ISODate).toLatin1() + "\nbody " + body.toUtf8() + '\n';
    // One writer at a time puts its entry in place and removes the body it
    // replaces; a reader that opened that body still reads it whole.
    const SafeFile::Lock lock(path(m_name + QStringLiteral(".lock")));
    if (!lock.problem().isEmpty())
        return failed(lock.problem());
    QTemporaryFile newIndex(path(m_name + QStringLiteral(".XXXXXX.index")));
    if (!newIndex.open() || newIndex.write(index) != index.size() || !newIndex.flush())
        return failed(newIndex.errorString());
    if (std::rename(QFile::encodeName(newIndex.fileName()).constData(),
            QFile::encodeName(path(m_name + QStringLiteral(".index"))).constData())
        != 0)
        return failed(QString::fromLocal8Bit(std::strerror(errno)));
    newIndex.setAutoRemove(false);
    m_body->setAutoRemove(false);
    removeBodiesBut(m_body->fileName());
}

void CatalogueCache::removeLeftovers()
{
    if (m_folder.isEmpty())
        return;
    const SafeFile::Lock lock(path(m_name + QStringLiteral(".lock")));
    bool damaged = false;
    const std::optional<Index> index = readIndex(&damaged);
    if (lock.problem().isEmpty() && index)
        removeBodiesBut(index->bodyPath);
}

void CatalogueCache::removeBodiesBut(const QString &keptBody) const
{
    // The body replaced goes too: a run reading it has it open, and reads it
    // whole.
    const QStringList bodies = QDir(m_folder).entryList(
        {m_name + QStringLiteral(".*.body")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : bodies) {
        const QString body = path(name);
        if (body == keptBody)
            continue;
        const int descriptor = ::open(QFile::encodeName(body).constData(),
            O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
        if (descriptor < 0)
            continue;
        if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0)
            QFile::remove(body);
        ::close(descriptor);
    }
}

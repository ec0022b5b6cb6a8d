#include "app/jsonreport.h"

#include "app/jsonwriter.h"
#include "download/networkutils.h"

#include <QHostInfo>

#include <pwd.h>
#include <unistd.h>

namespace {

void writeTime(JsonWriter &json, const char *key, const QDateTime &time)
{
    json.key(key);
    json.text(time.toString(Qt::ISODate));
}

void writeText(JsonWriter &json, const char *key, const QString &text)
{
    json.key(key);
    json.text(text);
}

void writeErrorMembers(JsonWriter &json, const CheckError &error)
{
    json.key("code");
    json.integer(error.code);
    writeText(json, "title", error.title);
    writeText(json, "message", error.message);
}

void writeUpdate(JsonWriter &json, const CheckReport::Update &entry)
{
    const PatchItem &update = entry.patch;
    json.beginObject();
    writeText(json, "name", update.name);
    writeText(json, "products", update.products);
    json.key("appliesTo");
    json.beginArray();
    for (const QString &name : entry.appliesTo)
        json.text(name);
    json.endArray();
    writeText(json, "qfeId", update.qfeId);
    writeText(json, "url", update.url);
    writeText(json, "releaseDate", update.releaseDate);
    writeText(json, "platform", update.platform);
    json.key("security");
    json.boolean(update.isSecurityPatch());
    if (entry.isNew) {
        json.key("new");
        json.boolean(true);
    }
    json.endObject();
}

QString userName()
{
    const passwd *entry = ::getpwuid(::getuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : qEnvironmentVariable("USER");
}

} // namespace

JsonReport JsonReport::ofThisRun(const CheckReport &report)
{
    JsonReport document;
    document.report = report;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    document.checkedAt = now.addMSecs(-now.time().msec());
    document.host = QHostInfo::localHostName();
    document.user = userName();
    document.version = QStringLiteral(KORVANE_VERSION);
    return document;
}

void JsonReport::write(JsonWriter &json) const
{
    json.beginObject();
    json.key("schema");
    json.integer(1);
    writeText(json, "catalogue", Utils::urlForLog(report.catalogueUrl));
    json.key("catalogueTransfer");
    if (report.transfer) {
        json.beginObject();
        json.key("status");
        json.integer(report.transfer->status);
        json.key("bytes");
        json.integer(report.transfer->bytes);
        writeText(json, "etag", QString::fromLatin1(report.transfer->validators.etag));
        writeText(
            json, "lastModified", QString::fromLatin1(report.transfer->validators.lastModified));
        json.endObject();
    } else {
        json.null();
    }
    json.key("products");
    json.beginArray();
    for (const CheckReport::Product &product : report.products) {
        json.beginObject();
        writeText(json, "name", product.name);
        writeText(json, "version", product.version);
        writeText(json, "directory", product.directory);
        json.endObject();
    }
    json.endArray();
    json.key("installedPatches");
    json.beginArray();
    for (const InstalledPatchEntry &patch : report.installedPatches) {
        json.beginObject();
        writeText(json, "title", patch.name);
        writeText(json, "qfeId", patch.qfeId);
        json.endObject();
    }
    json.endArray();
    json.key("updates");
    json.beginArray();
    for (const CheckReport::Update &update : report.updates)
        writeUpdate(json, update);
    json.endArray();
    json.key("error");
    if (report.error.failed()) {
        json.beginObject();
        writeErrorMembers(json, report.error);
        json.endObject();
    } else {
        json.null();
    }
    writeTime(json, "checkedAt", checkedAt);
    writeText(json, "host", host);
    writeText(json, "user", user);
    writeText(json, "version", version);
    json.key("lastFailure");
    if (lastFailure) {
        json.beginObject();
        writeTime(json, "checkedAt", lastFailure->checkedAt);
        writeErrorMembers(json, lastFailure->error);
        json.endObject();
    } else {
        json.null();
    }
    json.endObject();
    json.endLine();
}

QByteArray JsonReport::encode() const
{
    QByteArray bytes;
    JsonWriter json([&bytes](QByteArrayView piece) { bytes += piece; });
    write(json);
    return bytes;
}

#include "app/jsonreport.h"

#include "app/exitstatus.h"
#include "catalogue/jsonhelper.h"
#include "catalogue/networkutils.h"

#include <QHostInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>

#include <pwd.h>
#include <unistd.h>

namespace {

using Object = JSONHelper::OrderedObject;

QPair<QString, QVariant> member(const char *key, const QVariant &value)
{
    return {QString::fromLatin1(key), value};
}

QVariant object(const Object &members)
{
    return QVariant::fromValue(members);
}

QString timeText(const QDateTime &time)
{
    return time.toString(Qt::ISODate);
}

Object errorMembers(const CheckError &error)
{
    return {
        member("code", error.code), member("title", error.title), member("message", error.message)};
}

QVariant updateObject(const CheckReport::Update &entry)
{
    const PatchItem &update = entry.patch;
    return object({member("name", update.name), member("products", update.products),
        member("appliesTo", entry.appliesTo), member("qfeId", update.qfeId),
        member("url", update.url), member("releaseDate", update.releaseDate),
        member("platform", update.platform), member("security", update.isSecurityPatch())});
}

QString userName()
{
    const passwd *entry = ::getpwuid(::getuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : qEnvironmentVariable("USER");
}

// Reads a stored document back, key by key; the first thing amiss is told.
class Decoder
{
public:
    QString problem;

    QString text(const QJsonObject &object, const char *key, bool required = true)
    {
        const QJsonValue value = object.value(QLatin1String(key));
        if (!value.isString() && (required || !value.isUndefined()))
            fail(QObject::tr("\"%1\" is not a text").arg(QLatin1String(key)));
        return value.toString();
    }
    QJsonArray array(const QJsonObject &object, const char *key)
    {
        const QJsonValue value = object.value(QLatin1String(key));
        if (!value.isArray())
            fail(QObject::tr("\"%1\" is not a list").arg(QLatin1String(key)));
        return value.toArray();
    }
    QJsonObject element(const QJsonValue &value, const char *list)
    {
        if (!value.isObject())
            fail(QObject::tr("an entry of \"%1\" is not an object").arg(QLatin1String(list)));
        return value.toObject();
    }
    QDateTime time(const QString &text, const char *key)
    {
        const QDateTime time = QDateTime::fromString(text, Qt::ISODate);
        if (!time.isValid() || time.timeSpec() != Qt::UTC)
            fail(QObject::tr("\"%1\" is not a UTC time").arg(QLatin1String(key)));
        return time;
    }
    std::optional<CheckError> error(const QJsonValue &value, const char *key)
    {
        if (value.isNull() || value.isUndefined())
            return std::nullopt;
        const QJsonObject object = value.toObject();
        const CheckError error {object.value(QLatin1String("code")).toInt(), text(object, "title"),
            text(object, "message")};
        if (!value.isObject() || !error.failed())
            fail(QObject::tr("\"%1\" is not an error").arg(QLatin1String(key)));
        return error;
    }

private:
    void fail(const QString &why)
    {
        if (problem.isEmpty())
            problem = why;
    }
};

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

QByteArray JsonReport::encode() const
{
    QVariantList products;
    for (const CheckReport::Product &product : report.products) {
        products.append(object({member("name", product.name), member("version", product.version),
            member("directory", product.directory)}));
    }
    QVariantList installedPatches;
    for (const InstalledPatchEntry &patch : report.installedPatches)
        installedPatches.append(
            object({member("title", patch.name), member("qfeId", patch.qfeId)}));
    QVariantList updates;
    for (const CheckReport::Update &update : report.updates)
        updates.append(updateObject(update));
    QVariant failure; // null
    if (lastFailure) {
        failure = object(Object {member("checkedAt", timeText(lastFailure->checkedAt))}
            + errorMembers(lastFailure->error));
    }
    const Object document {member("schema", 1),
        member("catalogue", Utils::urlForLog(report.catalogueUrl)), member("products", products),
        member("installedPatches", installedPatches), member("updates", updates),
        member("error", report.error.failed() ? object(errorMembers(report.error)) : QVariant()),
        member("checkedAt", timeText(checkedAt)), member("host", host), member("user", user),
        member("version", version), member("lastFailure", failure)};
    return JSONHelper::encodeOrdered(document).toUtf8() + '\n';
}

std::optional<JsonReport> JsonReport::decode(const QByteArray &text, QString *problem)
{
    QJsonParseError parseError;
    const QJsonDocument json = QJsonDocument::fromJson(text, &parseError);
    if (!json.isObject()) {
        *problem = parseError.error != QJsonParseError::NoError
            ? QObject::tr("it is not a JSON document (%1 at offset %2)")
                  .arg(parseError.errorString())
                  .arg(parseError.offset)
            : QObject::tr("it is not a JSON object");
        return std::nullopt;
    }
    const QJsonObject root = json.object();
    const QJsonValue schema = root.value(QLatin1String("schema"));
    if (schema.isUndefined() || !root.contains(QLatin1String("updates"))) {
        *problem = QObject::tr("it is not a report of korvane");
        return std::nullopt;
    }
    if (schema != QJsonValue(1)) {
        *problem = QObject::tr("it has the layout %1, which this version of korvane (layout 1) "
                               "cannot read")
                       .arg(schema.toVariant().toString());
        return std::nullopt;
    }
    if (!root.contains(QLatin1String("checkedAt"))) {
        *problem = QObject::tr("it does not say when the check ran (written by korvane -j "
                               "rather than -o?), so its age is unknown");
        return std::nullopt;
    }
    Decoder read;
    JsonReport document;
    document.report.catalogueUrl = read.text(root, "catalogue");
    for (const QJsonValue &value : read.array(root, "products")) {
        const QJsonObject product = read.element(value, "products");
        document.report.products.append({read.text(product, "name"), read.text(product, "version"),
            read.text(product, "directory")});
    }
    for (const QJsonValue &value : read.array(root, "installedPatches")) {
        const QJsonObject patch = read.element(value, "installedPatches");
        document.report.installedPatches.append(
            {read.text(patch, "title"), read.text(patch, "qfeId"), QString()});
    }
    for (const QJsonValue &value : read.array(root, "updates")) {
        const QJsonObject update = read.element(value, "updates");
        CheckReport::Update entry;
        entry.patch = {read.text(update, "name"), read.text(update, "products"),
            update.value(QLatin1String("security")).toBool() ? QStringLiteral("true")
                                                             : QStringLiteral("false"),
            read.text(update, "platform"), read.text(update, "url"), read.text(update, "qfeId"),
            read.text(update, "releaseDate")};
        for (const QJsonValue &name : read.array(update, "appliesTo"))
            entry.appliesTo.append(name.toString());
        document.report.updates.append(entry);
    }
    document.report.error
        = read.error(root.value(QLatin1String("error")), "error").value_or(CheckError());
    document.checkedAt = read.time(read.text(root, "checkedAt"), "checkedAt");
    document.host = read.text(root, "host", false);
    document.user = read.text(root, "user", false);
    document.version = read.text(root, "version", false);
    const QJsonValue failure = root.value(QLatin1String("lastFailure"));
    if (const std::optional<CheckError> error = read.error(failure, "lastFailure")) {
        document.lastFailure = Failure {
            read.time(read.text(failure.toObject(), "checkedAt"), "lastFailure"), *error};
    }
    if (!read.problem.isEmpty()) {
        *problem = read.problem;
        return std::nullopt;
    }
    return document;
}

int jsonReportStatus(const CheckReport &report)
{
    if (report.error.failed())
        return ExitStatus::Failure;
    return report.updates.isEmpty() ? ExitStatus::Success : ExitStatus::UpdatesAvailable;
}

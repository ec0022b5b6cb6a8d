#include "app/reportreader.h"

#include "catalogue/jsonstream.h"

#include <QObject>

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

// A report nests four deep; what it does not know may nest a little more.
constexpr std::size_t kMaxDepth = 16;
// Texts up to this long are kept once however often they come: the products
// text, the platform, the dates and the names in "appliesTo" repeat.
constexpr std::size_t kSharedLength = 64;
constexpr std::size_t kMostShared = 4096;
// What keeping a text costs beyond its UTF-16 characters.
constexpr qint64 kTextCost = 48;
// Far more than one machine holds; every update is shown under each of them.
constexpr qsizetype kMostProducts = 32;

// What a container is to the report.
enum class Kind : quint8 {
    Root,
    List,
    Product,
    Patch,
    Update,
    Error,
    Failure,
    Transfer,
    AppliesTo,
    Skipped
};
// What a member's value must be.
enum class Want : quint8 { Text, Integer, Boolean, List, ObjectOrNull, Entry, Ignored };

struct Member
{
    std::string_view name;
    Want want;
    bool required;
    Kind element; // of a list; the object of an ObjectOrNull
};

constexpr Member kRootMembers[] = {{"schema", Want::Integer, true, Kind::Skipped},
    {"catalogue", Want::Text, true, Kind::Skipped}, {"products", Want::List, true, Kind::Product},
    {"installedPatches", Want::List, true, Kind::Patch},
    {"updates", Want::List, true, Kind::Update}, {"error", Want::ObjectOrNull, false, Kind::Error},
    {"checkedAt", Want::Text, true, Kind::Skipped}, {"host", Want::Text, false, Kind::Skipped},
    {"user", Want::Text, false, Kind::Skipped}, {"version", Want::Text, false, Kind::Skipped},
    {"lastFailure", Want::ObjectOrNull, false, Kind::Failure},
    {"catalogueTransfer", Want::ObjectOrNull, false, Kind::Transfer}};
enum RootMember {
    kSchema,
    kCatalogue,
    kProducts,
    kInstalled,
    kUpdates,
    kError,
    kCheckedAt,
    kHost,
    kUser,
    kVersion,
    kLastFailure,
    kTransfer
};
constexpr Member kProductMembers[] = {{"name", Want::Text, true, Kind::Skipped},
    {"version", Want::Text, true, Kind::Skipped}, {"directory", Want::Text, true, Kind::Skipped}};
constexpr Member kPatchMembers[]
    = {{"title", Want::Text, true, Kind::Skipped}, {"qfeId", Want::Text, true, Kind::Skipped}};
constexpr Member kUpdateMembers[] = {{"name", Want::Text, true, Kind::Skipped},
    {"products", Want::Text, true, Kind::Skipped}, {"appliesTo", Want::List, true, Kind::AppliesTo},
    {"qfeId", Want::Text, true, Kind::Skipped}, {"url", Want::Text, true, Kind::Skipped},
    {"releaseDate", Want::Text, true, Kind::Skipped}, {"platform", Want::Text, true, Kind::Skipped},
    {"security", Want::Boolean, true, Kind::Skipped}, {"new", Want::Boolean, false, Kind::Skipped}};
enum { kSecurity = 7 };
constexpr Member kErrorMembers[] = {{"code", Want::Integer, true, Kind::Skipped},
    {"title", Want::Text, true, Kind::Skipped}, {"message", Want::Text, true, Kind::Skipped}};
constexpr Member kFailureMembers[]
    = {{"checkedAt", Want::Text, true, Kind::Skipped}, {"code", Want::Integer, true, Kind::Skipped},
        {"title", Want::Text, true, Kind::Skipped}, {"message", Want::Text, true, Kind::Skipped}};
constexpr Member kTransferMembers[] = {{"status", Want::Integer, true, Kind::Skipped},
    {"bytes", Want::Integer, true, Kind::Skipped}, {"etag", Want::Text, true, Kind::Skipped},
    {"lastModified", Want::Text, true, Kind::Skipped}};

struct Members
{
    const Member *first = nullptr;
    int count = 0;
};

Members membersOf(Kind kind)
{
    const auto of = [](const auto &table) { return Members {table, int(std::size(table))}; };
    switch (kind) {
    case Kind::Root:
        return of(kRootMembers);
    case Kind::Product:
        return of(kProductMembers);
    case Kind::Patch:
        return of(kPatchMembers);
    case Kind::Update:
        return of(kUpdateMembers);
    case Kind::Error:
        return of(kErrorMembers);
    case Kind::Failure:
        return of(kFailureMembers);
    case Kind::Transfer:
        return of(kTransferMembers);
    default:
        return {};
    }
}

QString quotedName(std::string_view name)
{
    return QLatin1Char('"') + QLatin1String(name.data(), qsizetype(name.size())) + QLatin1Char('"');
}

// Why a member's value is not what the report holds there.
QString wrongType(const Member &member)
{
    const QString name = quotedName(member.name);
    switch (member.want) {
    case Want::Text:
        return QObject::tr("%1 is not a text").arg(name);
    case Want::Integer:
        return QObject::tr("%1 is not a whole number").arg(name);
    case Want::Boolean:
        return QObject::tr("%1 is not true or false").arg(name);
    case Want::List:
        return QObject::tr("%1 is not a list").arg(name);
    case Want::ObjectOrNull:
    case Want::Entry:
    case Want::Ignored:
        break;
    }
    return QObject::tr("%1 is not an error").arg(name);
}

QDateTime utcTime(const QString &text)
{
    const QDateTime time = QDateTime::fromString(text, Qt::ISODate);
    return time.isValid() && time.timeSpec() == Qt::UTC ? time : QDateTime();
}

} // namespace

// Follows the parser's events, checks the report's shape as it goes and keeps
// what the report is made of; a value it does not read is only checked by the
// parser, never held. The first problem stops the reading.
class ReportReader::Handler
{
public:
    QString problem;

    bool open(bool object)
    {
        Frame frame {Kind::Root, object};
        const Want want = wanted();
        if (m_stack.empty() && !object)
            return fail(QObject::tr("it is not a JSON object"));
        if (want == Want::Ignored) {
            frame.kind = Kind::Skipped;
        } else if (m_stack.empty()) {
            frame.kind = Kind::Root;
        } else if (want == Want::Entry && object && m_stack.back().kind == Kind::List) {
            frame.kind = m_stack.back().element;
            m_product = CheckReport::Product();
            m_patch = InstalledPatchEntry();
            m_update = CheckReport::Update();
        } else if (want == Want::List && !object) {
            frame.element = member().element;
            frame.kind = frame.element == Kind::AppliesTo ? Kind::AppliesTo : Kind::List;
        } else if (want == Want::ObjectOrNull && object) {
            frame.kind = member().element;
            m_error = CheckError();
            m_failureTime = QDateTime();
            m_transfer = CatalogueTransfer();
        } else {
            return mismatch(want);
        }
        m_stack.push_back(frame);
        return true;
    }

    bool close()
    {
        const Frame frame = m_stack.back();
        m_stack.pop_back();
        return !frame.object || closeObject(frame);
    }

    bool key(std::string_view name)
    {
        Frame &frame = m_stack.back();
        frame.member = -1;
        const Members members = membersOf(frame.kind);
        for (int i = 0; i < members.count; ++i) {
            if (members.first[i].name != name)
                continue;
            if (frame.seen & (1u << i))
                return fail(QObject::tr("%1 is given twice").arg(quotedName(name)));
            frame.seen |= 1u << i;
            frame.member = i;
        }
        return true;
    }

    // Every value of a member read is collected: its type is looked at once it ends.
    std::string *target() { return wanted() == Want::Ignored ? nullptr : &m_text; }

    bool scalar(JsonScalar kind)
    {
        if (m_stack.empty())
            return fail(QObject::tr("it is not a JSON object"));
        const Want want = wanted();
        if (want == Want::Ignored || (kind == JsonScalar::Null && want == Want::ObjectOrNull))
            return true;
        if (kind == JsonScalar::Bool && want == Want::Boolean) {
            if (m_stack.back().member == kSecurity)
                m_update.patch.securityPatch = QString::fromStdString(m_text);
            else
                m_update.isNew = m_text == "true";
            return true;
        }
        if (kind == JsonScalar::Number && want == Want::Integer)
            return number();
        if (kind != JsonScalar::Text)
            return mismatch(want);
        if (want == Want::Entry && m_stack.back().kind == Kind::AppliesTo) {
            m_update.appliesTo.append(keep(m_text));
            return charge(sizeof(QString));
        }
        if (want != Want::Text)
            return mismatch(want);
        if (!storeText(keep(m_text)))
            return fail(wrongType(member()) + QLatin1Char(' ')
                + QObject::tr("(a UTC time such as 2026-12-07T06:00:00Z)"));
        return charge(0);
    }

    JsonReport takeReport() { return std::move(m_report); }

private:
    struct Frame
    {
        Kind kind;
        bool object;
        Kind element = Kind::Skipped; // of a list
        quint32 seen = 0; // the members given, by their bit
        int member = -1; // the one whose value comes next
    };

    bool fail(const QString &why)
    {
        if (problem.isEmpty())
            problem = why;
        return false;
    }

    bool charge(qint64 bytes)
    {
        m_kept += bytes;
        if (m_kept <= kKeptLimit)
            return true;
        return fail(QObject::tr("it holds more than korvane keeps of a report (%1 MiB)")
                        .arg(kKeptLimit / (1024 * 1024)));
    }

    const Member &member() const
    {
        const Frame &frame = m_stack.back();
        return membersOf(frame.kind).first[frame.member];
    }

    // What the value that begins must be: Want::Entry in a list.
    Want wanted() const
    {
        if (m_stack.empty())
            return Want::ObjectOrNull;
        const Frame &frame = m_stack.back();
        if (frame.kind == Kind::List || frame.kind == Kind::AppliesTo)
            return Want::Entry;
        if (frame.kind == Kind::Skipped || frame.member < 0)
            return Want::Ignored;
        return member().want;
    }

    bool mismatch(Want want)
    {
        if (m_stack.empty())
            return fail(QObject::tr("it is not a JSON object"));
        const Frame &frame = m_stack.back();
        if (frame.kind == Kind::AppliesTo)
            return fail(QObject::tr("an entry of \"appliesTo\" is not a text"));
        if (want == Want::Entry) {
            const Frame &owner = m_stack[m_stack.size() - 2];
            return fail(QObject::tr("an entry of %1 is not an object")
                            .arg(quotedName(membersOf(Kind::Root).first[owner.member].name)));
        }
        return fail(wrongType(member()));
    }

    bool closeObject(const Frame &frame)
    {
        if (frame.kind == Kind::Skipped)
            return true;
        const Members members = membersOf(frame.kind);
        if (frame.kind == Kind::Root && !((frame.seen >> kSchema) & (frame.seen >> kUpdates) & 1))
            return fail(QObject::tr("it is not a report of korvane"));
        for (int i = 0; i < members.count; ++i) {
            if (!members.first[i].required || (frame.seen & (1u << i)))
                continue;
            if (frame.kind == Kind::Root && i == kCheckedAt)
                return fail(QObject::tr("it does not say when the check ran (written by korvane -j "
                                        "rather than -o?), so its age is unknown"));
            return fail(QObject::tr("%1 is missing").arg(quotedName(members.first[i].name)));
        }
        CheckReport &report = m_report.report;
        switch (frame.kind) {
        case Kind::Product:
            if (report.products.size() == kMostProducts) {
                return fail(
                    QObject::tr("it lists more than %1 installed products").arg(kMostProducts));
            }
            report.products.append(m_product);
            return charge(sizeof(CheckReport::Product));
        case Kind::Patch:
            report.installedPatches.append(m_patch);
            return charge(sizeof(InstalledPatchEntry));
        case Kind::Update:
            report.updates.append(std::move(m_update));
            return charge(sizeof(CheckReport::Update));
        case Kind::Error:
        case Kind::Failure:
            if (!m_error.failed()) {
                return fail(
                    wrongType(kRootMembers[frame.kind == Kind::Error ? kError : kLastFailure]));
            }
            if (frame.kind == Kind::Error)
                report.error = m_error;
            else
                m_report.lastFailure = JsonReport::Failure {m_failureTime, m_error};
            return true;
        case Kind::Transfer:
            report.transfer = m_transfer;
            return true;
        default:
            return true;
        }
    }

    // The text as a QString, shared with its earlier copies when it is short.
    QString keep(const std::string &utf8)
    {
        if (utf8.empty())
            return QString();
        if (utf8.size() <= kSharedLength) {
            const auto found = m_shared.find(utf8);
            if (found != m_shared.end())
                return found->second;
        }
        const QString text = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
        m_kept += kTextCost + 2 * text.size();
        if (utf8.size() <= kSharedLength && m_shared.size() < kMostShared) {
            m_shared.emplace(utf8, text);
            m_kept += kTextCost + qint64(utf8.size());
        }
        return text;
    }

    // Puts a text where the member read says; false for a time that is not one.
    bool storeText(const QString &text)
    {
        const Kind kind = m_stack.back().kind;
        const int index = m_stack.back().member;
        if (kind == Kind::Root) {
            QString *const fields[] = {nullptr, &m_report.report.catalogueUrl, nullptr, nullptr,
                nullptr, nullptr, nullptr, &m_report.host, &m_report.user, &m_report.version};
            if (index == kCheckedAt) {
                m_report.checkedAt = utcTime(text);
                return m_report.checkedAt.isValid();
            }
            *fields[index] = text;
        } else if (kind == Kind::Product) {
            QString *const fields[] = {&m_product.name, &m_product.version, &m_product.directory};
            *fields[index] = text;
        } else if (kind == Kind::Patch) {
            QString *const fields[] = {&m_patch.name, &m_patch.qfeId};
            *fields[index] = text;
        } else if (kind == Kind::Update) {
            PatchItem &patch = m_update.patch;
            QString *const fields[] = {&patch.name, &patch.products, nullptr, &patch.qfeId,
                &patch.url, &patch.releaseDate, &patch.platform};
            *fields[index] = text;
        } else if (kind == Kind::Failure && index == 0) {
            m_failureTime = utcTime(text);
            return m_failureTime.isValid();
        } else if (kind == Kind::Transfer) {
            (index == 2 ? m_transfer.validators.etag : m_transfer.validators.lastModified)
                = text.toUtf8();
        } else {
            (kind == Kind::Failure ? index == 2 : index == 1) ? m_error.title = text
                                                              : m_error.message = text;
        }
        return true;
    }

    // The schema or the code of an error, as written in m_text.
    bool number()
    {
        bool whole = false;
        if (m_stack.back().kind == Kind::Transfer) {
            const qint64 count = QByteArray::fromStdString(m_text).toLongLong(&whole);
            if (!whole || count < 0)
                return fail(wrongType(member()));
            if (m_stack.back().member == 0)
                m_transfer.status = int(qMin<qint64>(count, 999));
            else
                m_transfer.bytes = count;
            return true;
        }
        const int value = QByteArray::fromStdString(m_text).toInt(&whole);
        if (m_stack.back().kind == Kind::Root) { // the schema
            if (whole && value == 1)
                return true;
            return fail(QObject::tr("it has the layout %1, which this version of korvane (layout "
                                    "1) cannot read")
                            .arg(QString::fromStdString(m_text)));
        }
        if (!whole)
            return fail(wrongType(member()));
        m_error.code = value;
        return true;
    }

    std::vector<Frame> m_stack;
    std::string m_text; // the value read
    qint64 m_kept = 0;
    std::map<std::string, QString, std::less<>> m_shared;

    JsonReport m_report;
    CheckReport::Product m_product;
    InstalledPatchEntry m_patch;
    CheckReport::Update m_update;
    CheckError m_error;
    QDateTime m_failureTime;
    CatalogueTransfer m_transfer;
};

struct ReportReader::Private
{
    Handler handler;
    JsonStream<Handler> stream {handler, kMaxDepth, false, std::size_t(kLongestText)};
};

ReportReader::ReportReader()
    : d(std::make_unique<Private>())
{ }

ReportReader::~ReportReader() = default;

void ReportReader::write(QByteArrayView piece)
{
    d->stream.write(piece);
}

bool ReportReader::failed() const
{
    return d->stream.stopped() || !d->stream.error().isEmpty();
}

std::optional<JsonReport> ReportReader::finish(QString *problem)
{
    d->stream.finish();
    if (d->stream.size() == 0)
        *problem = QObject::tr("it is empty");
    else if (d->stream.textTooLong())
        *problem
            = QObject::tr("it holds a text longer than %1 MiB").arg(kLongestText / (1024 * 1024));
    else if (!d->handler.problem.isEmpty())
        *problem = d->handler.problem;
    else if (!d->stream.error().isEmpty())
        *problem = QObject::tr("it is not a JSON document (%1)").arg(d->stream.error());
    else
        return d->handler.takeReport();
    return std::nullopt;
}

#include "gui/desktopnotifier.h"

#include "core/checkerror.h"
#include "core/console.h"
#include "core/logger.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QImage>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
// A server that takes longer than this to answer is taken as absent.
constexpr int kCallLimitMs = 5000;
constexpr uchar kUrgencyNormal = 1;
constexpr uchar kUrgencyCritical = 2;

// The "image-data" hint: the picture travels with the notification, so that
// it shows whether or not the icon theme holds the application's icon (it
// does not in a build folder, nor in most themes but hicolor).
struct NotificationImage
{
    QImage image;
};

QDBusArgument &operator<<(QDBusArgument &argument, const NotificationImage &picture)
{
    const QImage image = picture.image.convertToFormat(QImage::Format_RGBA8888);
    argument.beginStructure();
    argument << image.width() << image.height() << int(image.bytesPerLine()) << true << 8 << 4
             << QByteArray(reinterpret_cast<const char *>(image.constBits()), image.sizeInBytes());
    argument.endStructure();
    return argument;
}

// Never received; QtDBus wants both directions of a type it marshals.
const QDBusArgument &operator>>(const QDBusArgument &argument, NotificationImage &)
{
    return argument;
}

QDBusMessage notificationsCall(const QString &method)
{
    return QDBusMessage::createMethodCall(kService, kPath, kService, method);
}

} // namespace

Q_DECLARE_METATYPE(NotificationImage)

DesktopNotifier::DesktopNotifier(const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
{
    if (!m_bus.isConnected())
        return;
    // Before anything is sent, so that no answer of the server is missed.
    m_bus.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
        SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kService, QStringLiteral("NotificationClosed"), this,
        SLOT(onNotificationClosed(uint, uint)));
    const QDBusMessage reply = m_bus.call(
        notificationsCall(QStringLiteral("GetCapabilities")), QDBus::Block, kCallLimitMs);
    m_serverPresent = reply.type() == QDBusMessage::ReplyMessage;
    if (m_serverPresent)
        m_capabilities = reply.arguments().value(0).toStringList();
    else
        Logger::instance()->Print(Severity::Debug,
            QStringLiteral("No notification server: %1").arg(reply.errorMessage()));
}

DesktopNotifier::~DesktopNotifier() = default;

bool DesktopNotifier::show(const Announcement &announcement, int expireMs)
{
    // Servers differ in what a click does; the action names it where they
    // can show one.
    QStringList actions;
    if (m_capabilities.contains(QLatin1String("actions")))
        actions << QStringLiteral("default") << tr("Review updates");
    QString body = Console::printable(announcement.body, Console::LineBreaks::Kept);
    if (m_capabilities.contains(QLatin1String("body-markup")))
        body = body.toHtmlEscaped();
    qDBusRegisterMetaType<NotificationImage>();
    const QVariantMap hints {
        {QStringLiteral("urgency"),
            QVariant::fromValue(announcement.critical ? kUrgencyCritical : kUrgencyNormal)},
        {QStringLiteral("desktop-entry"), QStringLiteral("korvane")},
        {QStringLiteral("image-data"),
            QVariant::fromValue(NotificationImage {
                QImage(QStringLiteral(":/images/Brivex_Server_Patch_128.png"))})},
    };
    QDBusMessage call = notificationsCall(QStringLiteral("Notify"));
    call << QStringLiteral("Korvane") << uint(0) << QStringLiteral("korvane")
         << Console::printable(announcement.summary) << body << actions << hints << expireMs;
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, kCallLimitMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        Logger::instance()->Print(Severity::Warning,
            QStringLiteral("The notification server refused the notification: %1")
                .arg(reply.errorMessage()));
        return false;
    }
    m_id = reply.arguments().value(0).toUInt();
    return true;
}

void DesktopNotifier::close()
{
    if (m_id != 0)
        m_bus.call(notificationsCall(QStringLiteral("CloseNotification")) << m_id, QDBus::Block,
            kCallLimitMs);
}

Announcement DesktopNotifier::announcementFor(
    int updates, int securityUpdates, const CheckError &error)
{
    if (error.failed())
        return {error.title, error.message, false};
    return {tr("Updates Available"),
        securityUpdates > 0
            ? tr("%1 update(s) are available (%2 security).").arg(updates).arg(securityUpdates)
            : tr("%1 update(s) are available.").arg(updates),
        securityUpdates > 0};
}

void DesktopNotifier::onActionInvoked(uint id, const QString &actionKey)
{
    if (id == m_id && m_id != 0 && actionKey == QLatin1String("default"))
        emit reviewRequested();
}

void DesktopNotifier::onNotificationClosed(uint id, uint reason)
{
    Q_UNUSED(reason);
    if (id != m_id || m_id == 0)
        return;
    m_id = 0; // nothing left to withdraw
    emit closed();
}

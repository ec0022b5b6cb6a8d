#pragma once

#include <QString>

// The pieces of a proxy URL of the form
//   [scheme://][user[:password]@]host[:port][/...]
// as the proxy switch and the settings understand them. The scheme counts only
// at the very start; the user information runs to the last '@' and splits at
// its first ':', so a password may hold ':' and '@'. A host in brackets is an
// IPv6 address.
struct ProxyUrl
{
    QString scheme; // without "://"; empty when the text has none
    QString user;
    QString password;
    QString host;
    QString portText; // as written; empty when no port was given
    bool hasPort = false;

    static ProxyUrl parse(const QString &text);
    // The text with a non-empty password replaced by "****", for messages and
    // the log; everything else stays as written.
    static QString masked(const QString &text);
};

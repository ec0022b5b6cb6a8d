#pragma once

#include <QString>

// The pieces of a proxy URL of the form
//   [scheme://][user:password@]host[:port]
// as the proxy switch and the settings understand them. Credentials that hold
// ':' or '@' shift the pieces; that form is not supported.
struct ProxyUrl
{
    QString scheme; // without "://"; empty when the text has none
    QString user;
    QString password;
    QString host;
    QString portText; // as written; empty when no port was given
    bool hasPort = false;
    bool hasCredentials = false; // the text contains '@'

    static ProxyUrl parse(const QString &text);
};

#pragma once

#include <QString>
#include <QUrl>

// Where a redirect response of the update server leads: the one hop that is
// followed, resolved against the requested address, and only to http(s), so a
// server cannot make the program read a local file as the catalogue.
struct RedirectTarget
{
    QUrl url; // valid when error is empty
    QString error; // why the redirect cannot be followed

    static bool isFollowed(int statusCode);
    static RedirectTarget resolve(const QUrl &requested, const QUrl &location);
};

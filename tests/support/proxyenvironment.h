#pragma once

#include <QtGlobal>

// The tests decide which proxy is used: proxy variables in the environment of
// whoever runs them must not interfere (Qt and curl both read them).
inline void clearProxyEnvironment()
{
    for (const char *name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
             "ALL_PROXY", "no_proxy", "NO_PROXY"})
        qunsetenv(name);
}

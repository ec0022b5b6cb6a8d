#pragma once

#include <QtGlobal>

#include <array>

// The tests decide which proxy is used: proxy variables in the environment of
// whoever runs them must not interfere (Qt and curl both read them).
inline constexpr std::array<const char *, 8> kProxyVariables {"http_proxy", "HTTP_PROXY",
    "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"};

inline void clearProxyEnvironment()
{
    for (const char *name : kProxyVariables)
        qunsetenv(name);
}

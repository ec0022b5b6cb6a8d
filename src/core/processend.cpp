#include "core/processend.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#if defined(__SANITIZE_ADDRESS__)
#define KORVANE_LEAK_CHECK_AT_END 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KORVANE_LEAK_CHECK_AT_END 1
#endif
#endif

#ifdef KORVANE_LEAK_CHECK_AT_END
#include <sanitizer/lsan_interface.h>
#endif

void endProcess(int status)
{
    std::wcout.flush();
    std::fflush(nullptr);
#ifdef KORVANE_LEAK_CHECK_AT_END
    // _Exit skips the exit handlers, among them the sanitizer's leak check.
    __lsan_do_leak_check();
#endif
    std::_Exit(status);
}

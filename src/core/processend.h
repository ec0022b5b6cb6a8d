#pragma once

// Ends the process with the given status once the console output is flushed
// (the log flushes every line). Threads of the network library are not waited
// for: a host lookup that a time-out left behind would otherwise hold the
// process at exit for as long as the name server keeps it waiting.
[[noreturn]] void endProcess(int status);

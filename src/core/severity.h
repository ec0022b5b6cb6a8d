#pragma once

// Severity of one log line.
namespace Severity {
enum Severity : int { Info = 0, Debug = 1, Warning = 2, Error = 3, Fatal = 4 };
} // namespace Severity

// Log threshold. It comes from the command line, so at run time it may hold any
// integer: only 2 admits Debug lines, and every other non-zero value acts as Normal.
namespace LogLevel {
enum LogLevel : int { Off = 0, Normal = 1, Verbose = 2 };
} // namespace LogLevel

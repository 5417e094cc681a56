// The fatal-error report: logs an "Assertion failed!" text at level 2 in category "DBG" and ends
// the process abnormally. Used where the library cannot go on (an incompatible host, no UUID).
#pragma once

#include <cstddef>

namespace dul {

// Writes the report into `text` (cut to fit, always terminated); returns its length. Null or empty
// parts, and line 0, are left out:
//   "Assertion failed!\n\nFile: F\nLine: N\n\nFunction: G\n\nExpression: E\n\nDescription: D"
std::size_t FormatFatalErrorText(char* text, std::size_t capacity, const char* expression,
                                 const char* description, const char* file, int line,
                                 const char* function);

[[noreturn]] void FatalError(const char* expression, const char* description, const char* file,
                             int line, const char* function);

}  // namespace dul

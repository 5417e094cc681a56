#include "foundation/fatal_error.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "foundation/log_target.h"
#include "foundation/logger.h"
#include "platform/process.h"

namespace dul {
namespace {

// Appends printf output to a fixed buffer; no allocation on the way to the process's end.
class TextAppender {
 public:
  TextAppender(char* text, std::size_t capacity) : text_(text), capacity_(capacity) {
    if (capacity_ > 0)
      text_[0] = '\0';
  }

  void Append(const char* format, ...) __attribute__((format(printf, 2, 3))) {
    if (length_ + 1 >= capacity_)
      return;
    va_list arguments;
    va_start(arguments, format);
    const int written = std::vsnprintf(text_ + length_, capacity_ - length_, format, arguments);
    va_end(arguments);
    if (written > 0)
      length_ = std::min(length_ + written, capacity_ - 1);
  }

  std::size_t length() const { return length_; }

 private:
  char* const text_;
  const std::size_t capacity_;
  std::size_t length_ = 0;
};

bool Present(const char* part) {
  return part != nullptr && part[0] != '\0';
}

}  // namespace

std::size_t FormatFatalErrorText(char* text, std::size_t capacity, const char* expression,
                                 const char* description, const char* file, int line,
                                 const char* function) {
  if (text == nullptr)
    return 0;
  TextAppender appender(text, capacity);
  appender.Append("Assertion failed!\n\n");
  if (Present(file))
    appender.Append("File: %s\n", file);
  if (line != 0)
    appender.Append("Line: %d\n\n", line);
  if (Present(function))
    appender.Append("Function: %s\n\n", function);
  if (Present(expression))
    appender.Append("Expression: %s", expression);
  if (Present(description))
    appender.Append("\n\nDescription: %s", description);
  return appender.length();
}

void FatalError(const char* expression, const char* description, const char* file, int line,
                const char* function) {
  char text[kLogLineBytes];
  FormatFatalErrorText(text, sizeof text, expression, description, file, line, function);
  Log(kLogLevelError, 1, 0, "%s", text);
  platform::TerminateAbnormally();
}

}  // namespace dul

// GuardHostEntry: the one wrapper around every function the host reaches through a table. The
// host is plain C and cannot take an exception, so none may unwind into it: an exception that
// reaches the entry is logged (entry and text, level ERROR, category "GEN") and the entry returns
// the failure value its contract defines, made by `failure`.
//
//   return GuardHostEntry("initialize", [&] { return Start() ? 1 : 0; },
//                         [] { return std::uint8_t{0}; });
//
// `failure` must not throw; it also runs for entries without a result (to fill a response, for
// example), and may be omitted when there is nothing to fill.
#pragma once

#include <exception>
#include <type_traits>

namespace dul {

// Logs an exception that reached a host entry. Never throws: a failure to log is dropped.
void ReportEscapedException(const char* entry, const char* text) noexcept;

template <typename Body, typename Failure>
auto GuardHostEntry(const char* entry, Body&& body, Failure&& failure) noexcept
    -> std::invoke_result_t<Body&> {
  try {
    return body();
  } catch (const std::exception& error) {
    ReportEscapedException(entry, error.what());
  } catch (...) {
    ReportEscapedException(entry, "an exception of unknown type");
  }
  return failure();
}

template <typename Body>
void GuardHostEntry(const char* entry, Body&& body) noexcept {
  GuardHostEntry(entry, body, [] {});
}

}  // namespace dul

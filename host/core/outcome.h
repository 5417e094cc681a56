// Outcome: how a host operation that makes no value went: well, or wrong with the sentence a
// user reads. An operation that makes a value answers std::optional of that value instead.
//
//   const Outcome started = host.Start();
//   if (!started.ok()) return Fail(started.message());
#pragma once

#include <string>
#include <utility>

namespace dul::host {

class [[nodiscard]] Outcome {
 public:
  static Outcome Ok() { return Outcome(); }
  static Outcome Failed(std::string message) { return Outcome(std::move(message)); }

  bool ok() const { return !failed_; }
  // Empty when it went well.
  const std::string& message() const { return message_; }

 private:
  Outcome() = default;
  explicit Outcome(std::string message) : failed_(true), message_(std::move(message)) {}

  bool failed_ = false;
  std::string message_;
};

}  // namespace dul::host

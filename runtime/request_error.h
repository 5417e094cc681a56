// RequestError and RequestResult: the outcome of a request to another plugin.
//
//   RequestResult<GameDataChampion> champion = RequestValue<GameDataChampion>(plugin, kGet, url);
//   if (!champion.ok()) return;              // champion.error().code, .message
//   Use(champion.value());
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace dul {

// code: the HTTP status of the answer, 400 when the body could not be converted, 0 when the
// answer could not be read or converted.
struct RequestError {
  std::int32_t code = 0;
  std::string message;
};

// Either a T or a RequestError.
template <class T>
class [[nodiscard]] RequestResult {
 public:
  RequestResult(T value) : outcome_(std::in_place_index<0>, std::move(value)) {}
  RequestResult(RequestError error) : outcome_(std::in_place_index<1>, std::move(error)) {}

  bool ok() const { return outcome_.index() == 0; }
  // Preconditions: ok() for value(), !ok() for error().
  T& value() { return std::get<0>(outcome_); }
  const T& value() const { return std::get<0>(outcome_); }
  const RequestError& error() const { return std::get<1>(outcome_); }

 private:
  std::variant<T, RequestError> outcome_;
};

// The outcome of a request without a typed result: nothing, or the error.
using RequestOutcome = std::optional<RequestError>;

}  // namespace dul

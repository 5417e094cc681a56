// RequestMethod: the method codes shared with the host in request records and endpoints.
#pragma once

#include <cstdint>
#include <string_view>

namespace dul {

enum class RequestMethod : std::uint32_t {
  kAny = 0,  // endpoints only: accepts every method
  kDelete = 1,
  kGet = 2,
  kHead = 3,
  kOptions = 4,
  kPatch = 5,
  kPost = 6,
  kPut = 7,
  kOther = 8,  // named by a text the request carries
};

// A code outside 1 to 8 travels as 0.
constexpr std::uint32_t MethodCode(RequestMethod method) {
  const auto code = static_cast<std::uint32_t>(method);
  return code >= 1 && code <= 8 ? code : 0;
}

// "DELETE", "GET", ... "PUT" for 1 to 7; the empty text for 8 and every other code.
std::string_view MethodName(std::uint32_t code);
inline std::string_view MethodName(RequestMethod method) {
  return MethodName(static_cast<std::uint32_t>(method));
}

// The code of a method name, exactly as written ("GET" is 2, "get" is not): 1 to 7 for the
// names above, 8 for any other name.
std::uint32_t MethodCodeOf(std::string_view name);

}  // namespace dul

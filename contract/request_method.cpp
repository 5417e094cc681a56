#include "contract/request_method.h"

#include <array>

namespace dul {

namespace {

constexpr std::array<std::string_view, 8> kNames = {"",        "DELETE", "GET",  "HEAD",
                                                    "OPTIONS", "PATCH",  "POST", "PUT"};

}  // namespace

std::string_view MethodName(std::uint32_t code) {
  return code < kNames.size() ? kNames[code] : std::string_view();
}

std::uint32_t MethodCodeOf(std::string_view name) {
  for (std::uint32_t code = 1; code < kNames.size(); ++code) {
    if (kNames[code] == name)
      return code;
  }
  return MethodCode(RequestMethod::kOther);
}

}  // namespace dul

// AccessToken: the secret every HTTP request to dul-host must carry, as
// "Authorization: Bearer TOKEN" or as Basic authentication with user "dul" and the token as
// password. A new one is drawn at every start and written to host.json.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dul::host {

class AccessToken {
 public:
  // 64 hexadecimal digits from the system's random source; nothing when it fails.
  static std::optional<AccessToken> Create();
  explicit AccessToken(std::string text) : text_(std::move(text)) {}

  const std::string& text() const { return text_; }
  // Whether an Authorization header value carries this token. The scheme name is
  // case-insensitive; the token is compared in time that does not depend on where it differs.
  bool Authorizes(std::string_view authorization) const;

 private:
  std::string text_;
};

}  // namespace dul::host

#include "host/app/access_token.h"

#include <array>
#include <cstdint>

#include "foundation/ascii_case.h"
#include "foundation/base64.h"
#include "platform/random_bytes.h"

namespace dul::host {
namespace {

constexpr std::string_view kBasicUser = "dul";

bool SameText(std::string_view left, std::string_view right) {
  if (left.size() != right.size())
    return false;
  unsigned difference = 0;
  for (std::size_t i = 0; i < left.size(); ++i)
    difference |= static_cast<unsigned char>(left[i]) ^ static_cast<unsigned char>(right[i]);
  return difference == 0;
}

bool IsBase64Text(std::string_view text) {
  const std::size_t padding = text.find('=');
  const std::string_view body = text.substr(0, padding);
  if (padding != std::string_view::npos &&
      text.find_first_not_of('=', padding) != std::string_view::npos) {
    return false;
  }
  return !body.empty() && body.find_first_not_of(kBase64Alphabet) == std::string_view::npos;
}

}  // namespace

std::optional<AccessToken> AccessToken::Create() {
  std::array<std::uint8_t, 32> bytes{};
  if (!platform::FillRandomBytes(bytes))
    return std::nullopt;
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (const std::uint8_t byte : bytes) {
    text.push_back(kDigits[byte >> 4]);
    text.push_back(kDigits[byte & 0x0F]);
  }
  return AccessToken(std::move(text));
}

bool AccessToken::Authorizes(std::string_view authorization) const {
  const std::size_t blank = authorization.find(' ');
  if (text_.empty() || blank == std::string_view::npos)
    return false;
  const std::string_view scheme = authorization.substr(0, blank);
  std::string_view credential = authorization.substr(blank + 1);
  while (!credential.empty() && credential.front() == ' ')
    credential.remove_prefix(1);
  while (!credential.empty() && credential.back() == ' ')
    credential.remove_suffix(1);
  if (EqualsNoCase(scheme, "bearer"))
    return SameText(credential, text_);
  if (!EqualsNoCase(scheme, "basic") || !IsBase64Text(credential))
    return false;
  const std::vector<std::uint8_t> decoded = Base64Decode(credential);
  const std::string_view pair(reinterpret_cast<const char*>(decoded.data()), decoded.size());
  const std::size_t colon = pair.find(':');
  return colon != std::string_view::npos && pair.substr(0, colon) == kBasicUser &&
         SameText(pair.substr(colon + 1), text_);
}

}  // namespace dul::host

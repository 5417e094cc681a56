// HostRecord: what host.json in the state directory tells clients about a running dul-host:
// {"pid": N, "port": N, "url": "http://127.0.0.1:N", "token": "..."}.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dul::host {

struct HostRecord {
  std::uint64_t pid = 0;
  std::uint16_t port = 0;
  std::string token;  // empty when authentication is off

  std::string url() const { return "http://127.0.0.1:" + std::to_string(port); }
  // The file's text: one JSON object and a line break.
  std::string ToJson() const;
  // Reads the file's text; nothing when it is not such an object (a port out of range included).
  static std::optional<HostRecord> FromJson(std::string_view text);
};

}  // namespace dul::host

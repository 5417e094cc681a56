#include "host/app/host_options.h"

#include <charconv>
#include <limits>
#include <optional>
#include <string_view>

namespace dul::host {
namespace {

#ifdef _WIN32
constexpr const char* kPluginFileName = "pxm-be-dul-item-sets.dll";
#else
constexpr const char* kPluginFileName = "libpxm-be-dul-item-sets.so";
#endif

// Decimal digits only: no sign, no blanks, no suffix, at most `largest`.
std::optional<std::uint64_t> ReadNumber(std::string_view text, std::uint64_t largest) {
  std::uint64_t value = 0;
  const char* end = text.data() + text.size();
  if (text.empty() || text.front() == '+' || text.front() == '-')
    return std::nullopt;
  const auto [stop, failure] = std::from_chars(text.data(), end, value);
  if (failure != std::errc() || stop != end || value > largest)
    return std::nullopt;
  return value;
}

bool ReadVersion(std::string_view text, ApiVersion& version) {
  std::uint64_t parts[3] = {};
  for (std::size_t i = 0; i < 3; ++i) {
    const std::size_t dot = i < 2 ? text.find('.') : text.size();
    if (dot == std::string_view::npos)
      return false;
    const auto part = ReadNumber(text.substr(0, dot), std::numeric_limits<std::uint32_t>::max());
    if (!part)
      return false;
    parts[i] = *part;
    text.remove_prefix(i < 2 ? dot + 1 : dot);
  }
  version = ApiVersion{static_cast<std::uint32_t>(parts[0]), static_cast<std::uint32_t>(parts[1]),
                       static_cast<std::uint32_t>(parts[2])};
  return true;
}

// Applies one option that takes a value; false when the value is not acceptable.
bool ApplyValue(std::string_view name, std::string_view value, HostOptions& options) {
  constexpr std::uint64_t kAnyId = std::numeric_limits<std::uint64_t>::max();
  std::optional<std::uint64_t> number;
  if (name == "--plugin" || name == "--state") {
    (name == "--plugin" ? options.pluginPath : options.stateDirectory) = std::string(value);
    return !value.empty();
  }
  if (name == "--clock") {
    if (value != "real" && value != "virtual")
      return false;
    options.clock = value == "real" ? ClockKind::kReal : ClockKind::kVirtual;
    return true;
  }
  if (name == "--api-version")
    return ReadVersion(value, options.hostVersion);
  if (name == "--port" && (number = ReadNumber(value, 65535)))
    options.port = static_cast<std::uint16_t>(*number);
  else if (name == "--account-id" && (number = ReadNumber(value, kAnyId)))
    options.accountId = *number;
  else if (name == "--summoner-id" && (number = ReadNumber(value, kAnyId)))
    options.summonerId = *number;
  else if (name == "--log-level" && (number = ReadNumber(value, 3)))
    options.logLevel = static_cast<std::uint32_t>(*number);
  return number.has_value();
}

bool TakesValue(std::string_view name) {
  for (const char* known : {"--plugin", "--state", "--port", "--account-id", "--summoner-id",
                            "--clock", "--log-level", "--api-version"}) {
    if (name == known)
      return true;
  }
  return false;
}

bool ApplyFlag(std::string_view name, HostOptions& options) {
  if (name == "--signed-out")
    options.signedIn = false;
  else if (name == "--no-auth")
    options.authentication = false;
  else if (name == "--help" || name == "-h")
    options.helpRequested = true;
  else if (name == "--version")
    options.versionRequested = true;
  else
    return false;
  return true;
}

}  // namespace

HostOptions DefaultHostOptions(const std::string& executablePath) {
  HostOptions options;
  const std::size_t slash = executablePath.find_last_of("/\\");
  const std::string directory = slash == std::string::npos ? "." : executablePath.substr(0, slash);
  options.pluginPath = directory + "/" + kPluginFileName;
  return options;
}

bool ParseHostOptions(std::span<const char* const> arguments, HostOptions& options,
                      std::string& error) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string_view name = arguments[i];
    std::optional<std::string_view> value;
    if (const std::size_t equals = name.find('='); name.starts_with("--") && equals != name.npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    if (!TakesValue(name)) {
      if (value || !ApplyFlag(name, options)) {
        error = "unknown option " + std::string(arguments[i]);
        return false;
      }
      continue;
    }
    if (!value && i + 1 < arguments.size())
      value = arguments[++i];
    if (!value) {
      error = "option " + std::string(name) + " needs a value";
      return false;
    }
    if (!ApplyValue(name, *value, options)) {
      error = "bad value for " + std::string(name) + ": \"" + std::string(*value) + "\"";
      return false;
    }
  }
  return true;
}

}  // namespace dul::host

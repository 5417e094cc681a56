// HostOptions: what the command line of dul-host sets, with the defaults it has without one.
//
//   HostOptions options = DefaultHostOptions(executablePath);
//   std::string error;
//   if (!ParseHostOptions(arguments, options, error)) ... print error and kHostUsage
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "host/core/plugin_loader.h"

namespace dul::host {

enum class ClockKind { kReal, kVirtual };

struct HostOptions {
  std::string pluginPath;  // the library built beside the executable
  std::string stateDirectory = ".dul-host";
  std::uint16_t port = 2999;  // 0 picks a free port
  std::uint64_t accountId = 1001;
  std::uint64_t summonerId = 42;
  bool signedIn = true;
  ClockKind clock = ClockKind::kReal;
  bool authentication = true;
  std::uint32_t logLevel = 1;  // plugin log lines of this level and above are printed
  ApiVersion hostVersion;      // the plugin-API version the host speaks
  bool helpRequested = false;
  bool versionRequested = false;
  std::string dataDirectory;  // champion records and sample documents
  // Where the plugin writes the game's files (set from the state directory); "" for none.
  std::string gameConfigDirectory;
};

inline constexpr const char* kHostUsage =
    "usage: dul-host [--plugin PATH] [--state DIR] [--port N] [--account-id N]\n"
    "                [--summoner-id N] [--signed-out] [--clock real|virtual] [--no-auth]\n"
    "                [--log-level N] [--api-version MAJOR.MINOR.PATCH] [--version]\n"
    "                [--help]\n"
    "  --plugin PATH      plugin library (default: the one built beside dul-host)\n"
    "  --state DIR        state directory (default: ./.dul-host)\n"
    "  --port N           port on 127.0.0.1 (default: 2999; 0 picks a free one)\n"
    "  --account-id N     account of the signed-in player (default: 1001)\n"
    "  --summoner-id N    summoner of the signed-in player (default: 42)\n"
    "  --signed-out       start with nobody signed in\n"
    "  --clock KIND       real (default) or virtual: time moves only on POST clock/advance\n"
    "  --no-auth          accept requests without the token\n"
    "  --log-level N      print plugin log lines of level N and above, 0 to 3 (default: 1)\n"
    "  --api-version V    plugin-API version the host speaks (default: 18.0.0)\n"
    "  --version          print the versions of dul-host and the plugin, then exit\n";

// The defaults, with the plugin library and the data directory found from the executable's path.
HostOptions DefaultHostOptions(const std::string& executablePath);

// Reads the arguments after the program name over `options`. False with `error` set (one line
// naming the offending argument) for an unknown option, a missing or malformed value, or a
// number out of range.
bool ParseHostOptions(std::span<const char* const> arguments, HostOptions& options,
                      std::string& error);

}  // namespace dul::host

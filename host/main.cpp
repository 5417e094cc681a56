// dul-host: loads the plugin library as the platform does, performs the handshake, initializes
// the plugin, reads its memory counters and destroys it, printing what the plugin reports.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/console_host.h"
#include "host/plugin_loader.h"
#include "platform/process.h"

namespace {

struct Options {
  std::string pluginPath;
  dul::host::ApiVersion hostVersion;
};

std::string DefaultPluginPath() {
  std::string executable = dul::platform::ExecutableFileName();
  const auto slash = executable.find_last_of('/');
  const std::string directory = slash == std::string::npos ? "." : executable.substr(0, slash);
  return directory + "/libpxm-be-dul-item-sets.so";
}

bool ParseVersion(const char* text, dul::host::ApiVersion& version) {
  unsigned major = 0, minor = 0, patch = 0;
  char tail = 0;
  if (std::sscanf(text, "%u.%u.%u%c", &major, &minor, &patch, &tail) != 3)
    return false;
  version = dul::host::ApiVersion{major, minor, patch};
  return true;
}

bool ParseOptions(int argc, char** argv, Options& options) {
  options.pluginPath = DefaultPluginPath();
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--plugin") == 0 && hasValue) {
      options.pluginPath = argv[++i];
    } else if (std::strcmp(argv[i], "--api-version") == 0 && hasValue) {
      if (!ParseVersion(argv[++i], options.hostVersion))
        return false;
    } else {
      return false;
    }
  }
  return true;
}

void PrintMemory(const dul::host::MemoryStats& stats) {
  std::printf(
      "dul-host: memory: peak %llu bytes in %llu blocks; allocated %llu bytes in %llu blocks; "
      "freed %llu bytes in %llu blocks\n",
      static_cast<unsigned long long>(stats.peakLiveBytes),
      static_cast<unsigned long long>(stats.liveAllocationsAtPeak),
      static_cast<unsigned long long>(stats.bytesAllocated),
      static_cast<unsigned long long>(stats.allocations),
      static_cast<unsigned long long>(stats.bytesFreed),
      static_cast<unsigned long long>(stats.frees));
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: dul-host [--plugin PATH] [--api-version MAJOR.MINOR.PATCH]\n");
    return 2;
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  dul::host::PluginLoader loader;
  const auto& host = options.hostVersion;
  std::printf("dul-host: loading %s as a host of plugin API %u.%u.%u\n", options.pluginPath.c_str(),
              host.major, host.minor, host.patch);
  if (!loader.Load(options.pluginPath, "load_dul_item_sets", host)) {
    std::fprintf(stderr, "dul-host: %s\n", loader.error().c_str());
    return 1;
  }
  const auto version = loader.pluginVersion();
  const DulEndpointTable* endpoints = loader.handshake().endpointTable;
  std::printf("dul-host: handshake: plugin \"%s\" speaks plugin API %u.%u.%u, %u endpoints\n",
              loader.handshake().shortName, version.major, version.minor, version.patch,
              endpoints != nullptr ? endpoints->count : 0);
  dul::host::ConsoleHost console(stdout);
  const bool initialized = loader.Initialize(console.Interface());
  std::printf("dul-host: initialize returned %s\n", initialized ? "true" : "false");
  PrintMemory(loader.ReadMemoryStats());
  std::printf("dul-host: destroy\n");
  loader.Destroy();
  return initialized ? 0 : 1;
}

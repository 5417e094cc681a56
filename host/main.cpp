// dul-host: loads the plugin library as the platform does, performs the handshake, initializes
// the plugin with the in-process host, reads its memory counters and destroys it, printing what
// the plugin asked of the host.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/host_clock.h"
#include "host/host_runtime.h"
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

const char* LevelText(std::uint32_t level) {
  static const char* const kTexts[] = {"  OKAY", "  WARN", " ERROR", "ALWAYS"};
  return level < 4 ? kTexts[level] : "   ???";
}

// Prints the log lines from `first` on; returns where the next call starts.
std::size_t PrintLogLines(const dul::host::HostRuntime& host, std::size_t first) {
  const auto& lines = host.logLines();
  for (std::size_t i = first; i < lines.size(); ++i)
    std::printf("plugin log %s| %s\n", LevelText(lines[i].level), lines[i].message.c_str());
  return lines.size();
}

// What initialize left with the host: subscriptions, requests and callbacks still to run.
void PrintHostState(const dul::host::HostRuntime& host) {
  for (const dul::host::HostSubscription& subscription : host.subscriptions()) {
    std::printf("dul-host: subscribed %s (flag %u)\n", subscription.name.c_str(),
                subscription.flag);
  }
  std::printf("dul-host: %llu requests (no other service is simulated yet: they answer 404)\n",
              static_cast<unsigned long long>(host.calls().requests));
  for (const dul::host::ScheduledCallback& callback : host.PendingCallbacks())
    std::printf("dul-host: scheduled %s in %.3f s\n", callback.name.c_str(), callback.delaySeconds);
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
  dul::host::RealClock clock;
  dul::host::HostRuntime runtime(clock);
  runtime.AddObserver([](const dul::host::PublishedEvent& event) {
    std::printf("dul-host: event published: %s\n", event.name.c_str());
  });
  const bool initialized = runtime.Start(loader);
  const std::size_t printedLines = PrintLogLines(runtime, 0);
  std::printf("dul-host: initialize returned %s\n", initialized ? "true" : "false");
  PrintHostState(runtime);
  PrintMemory(loader.ReadMemoryStats());
  std::printf("dul-host: destroy\n");
  runtime.Stop();
  PrintLogLines(runtime, printedLines);
  for (const std::string& name : runtime.unsubscribeHistory())
    std::printf("dul-host: unsubscribed %s\n", name.c_str());
  return initialized ? 0 : 1;
}

// DevelopmentHost: one plugin library served as the platform serves it, with the platform's
// other services simulated. It owns the loop thread on which every call into the plugin, every
// HostRuntime call and every service call runs; its operations may be called from any thread
// and wait for the loop.
//
//   DevelopmentHost host(options, std::make_unique<SomeServices>(...), journal);
//   if (Outcome started = host.Start(); !started.ok()) ... report and end
//   PeerAnswer answer = host.Handle(request);   // from an HTTP thread
//   host.Stop();                                 // destroys the plugin; later calls answer 503
//
// With the real clock the loop runs each scheduled callback when it falls due; with the virtual
// clock callbacks run only inside Advance.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "host/app/event_journal.h"
#include "host/app/event_loop.h"
#include "host/app/host_options.h"
#include "host/app/platform_services.h"
#include "host/app/sync_record.h"
#include "host/core/endpoint_router.h"
#include "host/core/host_clock.h"
#include "host/core/host_runtime.h"
#include "host/core/plugin_loader.h"

namespace dul::host {

// The longest step of the virtual clock one request may ask for (a day): every callback that
// falls due on the way runs before the answer, so a step of years would hold the loop for hours.
inline constexpr double kLongestClockAdvanceSeconds = 86400.0;

// Time spent inside the plugin's endpoints, for comparison with the time of whole requests.
struct PluginCallTiming {
  std::uint64_t calls = 0;
  std::uint64_t nanoseconds = 0;
};

// The host's version and build type and, once `loader` has loaded one, the plugin's name and
// API version: {"host": {"name", "version", "buildType"}, "plugin": {"name", "fullName",
// "apiVersion"}}.
Zorv::BindingProperty VersionOf(const PluginLoader& loader);
// The same as lines for a terminal.
std::string VersionText(const PluginLoader& loader);

// The event name of the host's own reports on the event stream. Their data is {"kind",
// "message"}: kind "fault" (a fault rule changed an answer), "request-failed" (a request of the
// plugin answered 400 or more, or not at all) or "plugin-log" (a plugin log line of level warning
// or above).
inline constexpr const char* kHostReportEvent = "dul-host-report";

class DevelopmentHost {
 public:
  DevelopmentHost(const HostOptions& options, std::unique_ptr<PlatformServices> services,
                  EventJournal& journal);
  ~DevelopmentHost();
  DevelopmentHost(const DevelopmentHost&) = delete;
  DevelopmentHost& operator=(const DevelopmentHost&) = delete;

  // Starts the loop, loads the library, installs the services, initializes the plugin and tells
  // the services. The reason when the library cannot be loaded or initialize fails.
  Outcome Start();
  // Destroys the plugin on the loop, then ends the loop. Safe twice.
  void Stop();
  // Waits until Stop has destroyed the plugin, for at most `seconds`; whether it has.
  bool WaitUntilStopped(double seconds);

  // A request from outside: to the plugin's endpoint when one matches, else to the services.
  PeerAnswer Handle(const PeerRequest& request);
  // {"plugin": {...}, "memory": {...}, "pendingCallbacks": N, "uptimeSeconds": S}
  PeerAnswer Status();
  PeerAnswer Version();
  // The OpenAPI document of every route (host/app/api_description.h), served from `serverUrl`;
  // 500 when its files in the data directory cannot be read.
  PeerAnswer ApiDescription(const std::string& serverUrl);
  // Moves the virtual clock by `seconds` (0 to kLongestClockAdvanceSeconds), running every
  // callback that falls due; 400 on the real clock or for a step out of range.
  PeerAnswer Advance(double seconds);
  PeerAnswer SetFaultRules(const Zorv::BindingProperty& rules);
  PeerAnswer ListFaultRules();
  PeerAnswer ClearFaultRules();
  // What the host knows of the item sets' synchronisation: {"clock": {"kind", "seconds"},
  // "scheduled": [{"name", "dueSeconds", "inSeconds"}] (the plugin's pending callbacks in the
  // order they run; null times for one that never falls due), "lastStored", "lastFailedStore",
  // "lastSaveEvent" (host/app/sync_record.h) and "gameFiles" (the files below the game's
  // configuration directory).
  PeerAnswer Sync();

  PluginCallTiming pluginTiming() const {
    return PluginCallTiming{pluginCalls_.load(), pluginNanoseconds_.load()};
  }

 private:
  // Runs `work` (returning a PeerAnswer) on the loop while the plugin runs, then prints the
  // plugin's new log lines; 503 once the host is stopping.
  template <typename Work>
  PeerAnswer OnLoop(Work&& work);
  Outcome StartOnLoop();
  std::optional<double> RunDueCallbacks();
  PeerAnswer CallPlugin(const PeerRequest& request);
  void PrintNewLogLines();
  // Tells the host's log and the event stream what went wrong, or was made to.
  void Report(std::string_view kind, const std::string& message);
  void ReportAnswer(std::string_view origin, const PeerRequest& request, const PeerAnswer& answer);
  void NoteAnswer(const PeerRequest& request, const PeerAnswer& answer);

  HostOptions options_;
  EventJournal& journal_;
  std::unique_ptr<HostClock> clock_;
  std::unique_ptr<PlatformServices> services_;
  PluginLoader loader_;
  HostRuntime runtime_;
  EndpointRouter router_;
  SyncRecord sync_;
  std::int64_t startNanoseconds_;
  std::uint64_t printedLogLines_ = 0;  // counted over every line ever logged
  std::atomic<std::uint64_t> pluginCalls_{0};
  std::atomic<std::uint64_t> pluginNanoseconds_{0};
  std::mutex stopMutex_;
  std::condition_variable stopped_;
  bool pluginDestroyed_ = false;
  std::atomic<bool> stopping_{false};
  EventLoop loop_;  // last: its thread ends before anything it uses goes
};

}  // namespace dul::host

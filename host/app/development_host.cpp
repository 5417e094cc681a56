#include "host/app/development_host.h"

#include <chrono>
#include <cmath>
#include <cstdio>

#include "codecs/json_writer.h"
#include "contract/plugin_api_version.h"
#include "contract/plugin_name.h"
#include "foundation/log_target.h"
#include "foundation/logger.h"
#include "host/app/api_description.h"
#include "host/core/request_records.h"
#include "host/services/wall_clock.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace dul::host {
namespace {

PeerAnswer Stopping() {
  return PeerAnswer::Error(503, "dul-host is shutting down");
}

std::unique_ptr<HostClock> MakeClock(ClockKind kind) {
  if (kind == ClockKind::kVirtual)
    return std::make_unique<VirtualClock>();
  return std::make_unique<RealClock>();
}

Zorv::BindingProperty MemoryOf(const AllocationStats& stats) {
  Zorv::BindingProperty memory;
  memory.Member("peakLiveBytes") = stats.peakLiveBytes;
  memory.Member("liveAllocationsAtPeak") = stats.liveAllocationsAtPeak;
  memory.Member("bytesAllocated") = stats.bytesAllocated;
  memory.Member("allocations") = stats.allocations;
  memory.Member("bytesFreed") = stats.bytesFreed;
  memory.Member("frees") = stats.frees;
  return memory;
}

Zorv::BindingProperty PluginOf(const PluginLoader& loader) {
  const char* shortName = loader.handshake().shortName;
  const std::string name = shortName != nullptr ? shortName : "";
  const ApiVersion version = loader.pluginVersion();
  Zorv::BindingProperty plugin;
  plugin.Member("name") = name;
  plugin.Member("fullName") = MakePluginName(name, "backend", "").fullName;
  plugin.Member("apiVersion") =
      PluginApiVersion{version.major, version.minor, version.patch, {}, {}}.Text();
  return plugin;
}

std::string PluginLogReport(const HostLogLine& line) {
  Zorv::BindingProperty data;
  data.Member("kind") = "plugin-log";
  data.Member("message") = std::string(LogLevelText(line.level)) + ": " + line.message;
  return Zorv::WriteJson(data, nullptr, nullptr);
}

// A time as JSON: null for one that never comes.
Zorv::BindingProperty SecondsOrNull(double seconds) {
  return std::isfinite(seconds) ? Zorv::BindingProperty(seconds) : Zorv::BindingProperty();
}

Zorv::BindingProperty ScheduledOf(const std::vector<ScheduledCallback>& pending, double now) {
  Zorv::BindingProperty scheduled;
  scheduled.SetCollection();
  for (const ScheduledCallback& callback : pending) {
    Zorv::BindingProperty& entry = scheduled.PushBack();
    entry.Member("name") = callback.name;
    entry.Member("dueSeconds") = SecondsOrNull(callback.dueSeconds);
    entry.Member("inSeconds") = SecondsOrNull(callback.dueSeconds - now);
  }
  return scheduled;
}

}  // namespace

Zorv::BindingProperty VersionOf(const PluginLoader& loader) {
  Zorv::BindingProperty version;
  Zorv::BindingProperty& host = version.Member("host");
  host.Member("name") = "dul-host";
  host.Member("version") = DUL_HOST_VERSION;
  host.Member("buildType") = DUL_BUILD_TYPE;
  if (loader.loaded())
    version.Member("plugin") = PluginOf(loader);
  return version;
}

std::string VersionText(const PluginLoader& loader) {
  const Zorv::BindingProperty version = VersionOf(loader);
  std::string text = "dul-host " + std::string(version.Find("host").Find("version").GetString()) +
                     " (" + std::string(version.Find("host").Find("buildType").GetString()) + ")\n";
  if (const Zorv::BindingProperty& plugin = version.Find("plugin"); !plugin.IsEmpty()) {
    text += "plugin " + std::string(plugin.Find("fullName").GetString()) + ", API " +
            std::string(plugin.Find("apiVersion").GetString()) + "\n";
  }
  return text;
}

DevelopmentHost::DevelopmentHost(const HostOptions& options,
                                 std::unique_ptr<PlatformServices> services, EventJournal& journal)
    : options_(options),
      journal_(journal),
      clock_(MakeClock(options.clock)),
      services_(std::move(services)),
      runtime_(*clock_),
      startNanoseconds_(platform::MonotonicNanoseconds()),
      loop_([this] { return RunDueCallbacks(); }) {}

DevelopmentHost::~DevelopmentHost() {
  Stop();
}

template <typename Work>
PeerAnswer DevelopmentHost::OnLoop(Work&& work) {
  if (stopping_.load())
    return Stopping();
  std::optional<PeerAnswer> answer = loop_.Call([&]() -> PeerAnswer {
    if (!runtime_.running())
      return Stopping();
    PeerAnswer result = work();
    PrintNewLogLines();
    return result;
  });
  return answer ? std::move(*answer) : Stopping();
}

Outcome DevelopmentHost::Start() {
  loop_.Start();
  std::optional<Outcome> started = loop_.Call([this] { return StartOnLoop(); });
  return started ? std::move(*started) : Outcome::Failed("the host's loop is not running");
}

Outcome DevelopmentHost::StartOnLoop() {
  if (!loader_.Load(options_.pluginPath, "load_dul_item_sets", options_.hostVersion))
    return Outcome::Failed(loader_.error());
  if (Outcome installed = services_->Install(runtime_); !installed.ok())
    return installed;
  runtime_.AddObserver([this](const PublishedEvent& event) {
    journal_.Append(event.name, ResourceEventJson(event.payload));
  });
  runtime_.ObserveRequests([this](const PeerRequest& request, const PeerAnswer& answer) {
    ReportAnswer("the plugin's", request, answer);
    NoteAnswer(request, answer);
  });
  router_ = EndpointRouter(loader_.handshake().endpointTable);
  const bool initialized = runtime_.Start(loader_);
  PrintNewLogLines();
  if (!initialized) {
    runtime_.Stop();
    return Outcome::Failed("the plugin's initialize returned false");
  }
  services_->AfterInitialize();
  PrintNewLogLines();
  return Outcome::Ok();
}

void DevelopmentHost::Stop() {
  if (stopping_.exchange(true))
    return;
  loop_.RunAndWait([this] {
    runtime_.Stop();
    PrintNewLogLines();
  });
  loop_.Stop();
  {
    std::lock_guard lock(stopMutex_);
    pluginDestroyed_ = true;
  }
  stopped_.notify_all();
}

bool DevelopmentHost::WaitUntilStopped(double seconds) {
  std::unique_lock lock(stopMutex_);
  return stopped_.wait_for(lock, std::chrono::duration<double>(seconds),
                           [this] { return pluginDestroyed_; });
}

std::optional<double> DevelopmentHost::RunDueCallbacks() {
  if (!runtime_.running())
    return std::nullopt;
  // Work due now runs before the next request on either clock, as on the platform.
  if (runtime_.RunDue() > 0)
    PrintNewLogLines();
  const std::optional<double> due = runtime_.NextDueSeconds();
  if (!due || std::isinf(*due))
    return std::nullopt;
  const double wait = *due - clock_->NowSeconds();
  // A virtual clock stands still: nothing later falls due before it is advanced.
  if (options_.clock == ClockKind::kVirtual && wait > 0)
    return std::nullopt;
  return wait;
}

PeerAnswer DevelopmentHost::CallPlugin(const PeerRequest& request) {
  const std::int64_t start = platform::MonotonicNanoseconds();
  PeerAnswer answer = runtime_.CallPlugin(request);
  pluginNanoseconds_ += static_cast<std::uint64_t>(platform::MonotonicNanoseconds() - start);
  pluginCalls_++;
  return answer;
}

PeerAnswer DevelopmentHost::Handle(const PeerRequest& request) {
  return OnLoop([&] {
    if (router_.Choose(request.method, request.methodName, request.path))
      return CallPlugin(request);
    // A plugin's path asked with a method none of its endpoints takes.
    if (const std::string allowed = router_.AllowedMethods(request.path); !allowed.empty())
      return PeerAnswer::MethodNotAllowed(request.methodName, request.path, allowed);
    PeerAnswer answer = services_->Answer(request);
    if (!answer.fault.empty())
      ReportAnswer("an HTTP", request, answer);
    NoteAnswer(request, answer);
    return answer;
  });
}

PeerAnswer DevelopmentHost::Status() {
  return OnLoop([&] {
    Zorv::BindingProperty status;
    status.Member("plugin") = PluginOf(loader_);
    status.Member("memory") = MemoryOf(loader_.ReadMemoryStats());
    status.Member("pendingCallbacks") = static_cast<std::uint64_t>(runtime_.PendingCallbackCount());
    status.Member("uptimeSeconds") =
        static_cast<double>(platform::MonotonicNanoseconds() - startNanoseconds_) / 1e9;
    return PeerAnswer::Value(std::move(status));
  });
}

PeerAnswer DevelopmentHost::Version() {
  return OnLoop([&] { return PeerAnswer::Value(VersionOf(loader_)); });
}

PeerAnswer DevelopmentHost::ApiDescription(const std::string& serverUrl) {
  return OnLoop([&] {
    const std::string directory = options_.dataDirectory + "/";
    const std::optional<std::string> document =
        platform::ReadWholeFile(directory + kApiDescriptionFile);
    const std::optional<std::string> operations =
        platform::ReadWholeFile(directory + kPluginOperationsFile);
    if (!document || !operations) {
      return PeerAnswer::Error(500, "Cannot read " + directory +
                                        (document ? kPluginOperationsFile : kApiDescriptionFile));
    }
    Zorv::BindingResult described =
        DescribeApi({*document, *operations}, router_.routes(), serverUrl, DUL_HOST_VERSION);
    if (!described.ok())
      return PeerAnswer::Error(500, "The API description: " + std::string(described.ErrorText()));
    return PeerAnswer::Value(described.TakeValue());
  });
}

PeerAnswer DevelopmentHost::Advance(double seconds) {
  if (options_.clock != ClockKind::kVirtual)
    return PeerAnswer::Error(400, "The clock is real: start dul-host with --clock virtual");
  if (!(seconds >= 0.0 && seconds <= kLongestClockAdvanceSeconds))
    return PeerAnswer::Error(400, "\"seconds\" must be a number from 0 to 86400");
  return OnLoop([&] {
    Zorv::BindingProperty result;
    result.Member("callbacksRun") = static_cast<std::uint64_t>(runtime_.AdvanceBy(seconds));
    result.Member("clockSeconds") = runtime_.NowSeconds();
    result.Member("pendingCallbacks") = static_cast<std::uint64_t>(runtime_.PendingCallbackCount());
    return PeerAnswer::Value(std::move(result));
  });
}

PeerAnswer DevelopmentHost::SetFaultRules(const Zorv::BindingProperty& rules) {
  return OnLoop([&] { return services_->SetFaultRules(rules); });
}

PeerAnswer DevelopmentHost::ListFaultRules() {
  return OnLoop([&] { return PeerAnswer::Value(services_->ListFaultRules()); });
}

PeerAnswer DevelopmentHost::ClearFaultRules() {
  return OnLoop([&] {
    services_->ClearFaultRules();
    return PeerAnswer{};
  });
}

PeerAnswer DevelopmentHost::Sync() {
  return OnLoop([&] {
    const double now = runtime_.NowSeconds();
    Zorv::BindingProperty view;
    Zorv::BindingProperty& clock = view.Member("clock");
    clock.Member("kind") = options_.clock == ClockKind::kVirtual ? "virtual" : "real";
    clock.Member("seconds") = now;
    view.Member("scheduled") = ScheduledOf(runtime_.PendingCallbacks(), now);
    sync_.AddTo(view);
    view.Member("gameFiles") = FilesBelow(options_.gameConfigDirectory);
    return PeerAnswer::Value(std::move(view));
  });
}

void DevelopmentHost::NoteAnswer(const PeerRequest& request, const PeerAnswer& answer) {
  sync_.Note(request, answer, [this] {
    return NotedAt{FormatUtcTime(SystemWallClock()()), runtime_.NowSeconds()};
  });
}

void DevelopmentHost::Report(std::string_view kind, const std::string& message) {
  std::printf("dul-host %s| %s\n", std::string(kind).c_str(), message.c_str());
  Zorv::BindingProperty data;
  data.Member("kind") = kind;
  data.Member("message") = message;
  journal_.Append(kHostReportEvent, Zorv::WriteJson(data, nullptr, nullptr));
}

void DevelopmentHost::ReportAnswer(std::string_view origin, const PeerRequest& request,
                                   const PeerAnswer& answer) {
  const std::string what = std::string(origin) + " " + request.methodName + " " + request.path;
  const std::string text = answer.errorText ? ": " + *answer.errorText : "";
  if (!answer.fault.empty())
    Report("fault", "a fault rule answered " + what + " with " + answer.fault);
  else if (answer.status >= 400)
    Report("request-failed", what + " failed with " + std::to_string(answer.status) + text);
}

void DevelopmentHost::PrintNewLogLines() {
  const BoundedHistory<HostLogLine>& history = runtime_.logHistory();
  if (printedLogLines_ < history.dropped()) {
    std::printf("plugin log | %llu lines dropped before they could be printed\n",
                static_cast<unsigned long long>(history.dropped() - printedLogLines_));
    printedLogLines_ = history.dropped();
  }
  for (; printedLogLines_ < history.added(); ++printedLogLines_) {
    const HostLogLine& line = history.entries()[printedLogLines_ - history.dropped()];
    if (line.level >= options_.logLevel)
      std::printf("plugin log %s| %s\n", LogLevelText(line.level), line.message.c_str());
    if (line.level >= kLogLevelWarning && line.level != kLogLevelAlways)
      journal_.Append(kHostReportEvent, PluginLogReport(line));
  }
}

}  // namespace dul::host

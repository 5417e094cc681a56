// dul-host: serves the plugin library over HTTP on 127.0.0.1 as the platform would host it, with
// the platform's other services simulated, until POST /dul-host/v1/shutdown, SIGINT or SIGTERM.
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "host/app/access_token.h"
#include "host/app/development_host.h"
#include "host/app/event_journal.h"
#include "host/app/host_options.h"
#include "host/app/simulated_platform_services.h"
#include "host/app/state_directory.h"
#include "host/http/http_front.h"
#include "host/services/wall_clock.h"
#include "platform/file_system.h"
#include "platform/listening_socket.h"
#include "platform/process.h"
#include "platform/stop_signal_watch.h"

namespace {

using namespace dul::host;

// Set once by whichever asks first: the shutdown request, SIGINT or SIGTERM.
class ShutdownRequest {
 public:
  void Raise() {
    {
      std::lock_guard lock(mutex_);
      raised_ = true;
    }
    raisedSignal_.notify_all();
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    raisedSignal_.wait(lock, [this] { return raised_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable raisedSignal_;
  bool raised_ = false;
};

int Fail(const std::string& message) {
  std::fprintf(stderr, "dul-host: %s\n", message.c_str());
  return 1;
}

std::optional<AccessToken> TokenFor(const HostOptions& options, bool& failed) {
  failed = false;
  if (!options.authentication)
    return std::nullopt;
  std::optional<AccessToken> token = AccessToken::Create();
  failed = !token;
  return token;
}

// The plugin's name and API version come from loading it, at the host's own API version (an
// --api-version the plugin refuses would end this process as a start would).
int PrintVersion(const HostOptions& options) {
  PluginLoader loader;
  const bool loaded = loader.Load(options.pluginPath, "load_dul_item_sets", ApiVersion{});
  std::printf("%s", VersionText(loader).c_str());
  if (!loaded)
    std::printf("plugin: cannot load %s: %s\n", options.pluginPath.c_str(), loader.error().c_str());
  return loaded ? 0 : 1;
}

// Why a start would fail, found without creating anything: another host in the state
// directory, the port taken, or no plugin library.
std::optional<std::string> StartRefusal(const HostOptions& options, const StateDirectory& state) {
  if (const std::optional<std::uint64_t> other = state.RunningHostProcess()) {
    const std::string pid = std::to_string(*other);
    return "the state directory " + state.root() + " is in use by dul-host (pid " + pid +
           "): stop that host (POST /dul-host/v1/shutdown, or kill " + pid +
           "), or give this one another with --state DIR";
  }
  if (options.port != 0) {
    if (const std::optional<std::string> failure =
            dul::platform::LoopbackListenFailure(options.port)) {
      return "cannot listen on 127.0.0.1:" + std::to_string(options.port) + ": " + *failure +
             " (another program, perhaps another dul-host, may use it): try --port 0, which "
             "picks a free port and writes it to host.json";
    }
  }
  if (!dul::platform::FileAttributes(options.pluginPath))
    return "no plugin library at " + options.pluginPath + ": build it, or give --plugin PATH";
  return std::nullopt;
}

void PrintTiming(const DevelopmentHost& host, const HttpFront& front) {
  const PluginCallTiming plugin = host.pluginTiming();
  std::printf(
      "dul-host: %llu requests, %.3f ms in handlers; %llu plugin calls, %.3f ms in the plugin\n",
      static_cast<unsigned long long>(front.handledRequests()),
      static_cast<double>(front.handlerNanoseconds()) / 1e6,
      static_cast<unsigned long long>(plugin.calls), static_cast<double>(plugin.nanoseconds) / 1e6);
}

// Serves until a shutdown is asked for; then destroys the plugin, stops serving and removes
// host.json, in that order, so nothing is written after the record is gone.
int Serve(const HostOptions& options, StateDirectory& state, ShutdownRequest& shutdown) {
  bool tokenFailed = false;
  const std::optional<AccessToken> token = TokenFor(options, tokenFailed);
  if (tokenFailed)
    return Fail("cannot draw random bytes for the access token");
  if (!dul::platform::ChangeCurrentDirectory(state.clientDirectory()))
    return Fail("cannot enter " + state.clientDirectory());
  // Ids that go on growing across runs, so a client that resumes from an earlier run is told.
  EventJournal journal(kEventBacklogEvents, kEventBacklogBytes,
                       FirstEventIdAt(SystemWallClock()()));
  DevelopmentHost host(options,
                       std::make_unique<SimulatedPlatformServices>(SimulatedPlatformOptions{
                           state.root(), options.dataDirectory, options.accountId,
                           options.summonerId, options.signedIn}),
                       journal);
  if (const Outcome started = host.Start(); !started.ok())
    return Fail(options.pluginPath + ": " + started.message());
  HttpFront front(host, journal, token, [&shutdown] { shutdown.Raise(); });
  const std::optional<std::uint16_t> port = front.Listen(options.port);
  if (!port)
    return Fail("cannot listen on 127.0.0.1:" + std::to_string(options.port) + ": try --port 0");
  const HostRecord record{dul::platform::CurrentProcessId(), *port, token ? token->text() : ""};
  if (!state.WriteHostRecord(record))
    return Fail(state.error());
  std::printf("dul-host: listening on %s; %s\n", record.url().c_str(),
              token ? ("token in " + state.hostRecordPath()).c_str() : "no authentication");
  // The fragment stays in the browser: it is never sent, so no request line or log holds it.
  std::printf("dul-host: editor page at %s/%s\n", record.url().c_str(),
              token ? ("#token=" + token->text()).c_str() : "");
  shutdown.Wait();
  std::printf("dul-host: shutting down\n");
  journal.Close();
  host.Stop();
  front.Stop();
  state.RemoveHostRecord();
  PrintTiming(host, front);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  HostOptions options = DefaultHostOptions(dul::platform::ExecutableFileName());
  options.dataDirectory = DUL_DATA_DIRECTORY;
  std::string error;
  if (!ParseHostOptions(std::span<const char* const>(argv + 1, argc - 1), options, error)) {
    std::fprintf(stderr, "dul-host: %s\n%s", error.c_str(), kHostUsage);
    return 2;
  }
  if (options.helpRequested) {
    std::printf("%s", kHostUsage);
    return 0;
  }
  if (options.versionRequested)
    return PrintVersion(options);
  dul::platform::IgnoreBrokenPipes();
  ShutdownRequest shutdown;
  // Before any other thread starts, so that the watch alone receives SIGINT and SIGTERM.
  dul::platform::StopSignalWatch signals([&shutdown] { shutdown.Raise(); });
  const std::optional<std::string> plugin = AbsolutePath(options.pluginPath);
  if (!plugin)
    return Fail("cannot read the current directory");
  options.pluginPath = *plugin;
  StateDirectory state;
  if (!state.Locate(options.stateDirectory))
    return Fail(state.error());
  // A start that cannot succeed is refused before anything is created.
  if (const std::optional<std::string> refusal = StartRefusal(options, state))
    return Fail(*refusal);
  if (!state.Create())
    return Fail(state.error());
  options.gameConfigDirectory = state.gameConfigDirectory();
  return Serve(options, state, shutdown);
}

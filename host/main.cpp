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
#include "platform/file_system.h"
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
  EventJournal journal;
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
    return Fail("cannot listen on 127.0.0.1:" + std::to_string(options.port));
  const HostRecord record{dul::platform::CurrentProcessId(), *port, token ? token->text() : ""};
  if (!state.WriteHostRecord(record))
    return Fail(state.error());
  std::printf("dul-host: listening on %s; %s\n", record.url().c_str(),
              token ? ("token in " + state.hostRecordPath()).c_str() : "no authentication");
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
  dul::platform::IgnoreBrokenPipes();
  ShutdownRequest shutdown;
  // Before any other thread starts, so that the watch alone receives SIGINT and SIGTERM.
  dul::platform::StopSignalWatch signals([&shutdown] { shutdown.Raise(); });
  const std::optional<std::string> plugin = AbsolutePath(options.pluginPath);
  if (!plugin)
    return Fail("cannot read the current directory");
  options.pluginPath = *plugin;
  StateDirectory state;
  if (!state.Prepare(options.stateDirectory))
    return Fail(state.error());
  if (const std::optional<std::uint64_t> other = state.RunningHostProcess())
    return Fail("dul-host " + std::to_string(*other) + " already uses " + state.root());
  return Serve(options, state, shutdown);
}

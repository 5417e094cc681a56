#include "host/console_host.h"

#include <algorithm>

namespace dul::host {
namespace {

const char* LevelText(std::uint32_t level) {
  static const char* const kTexts[] = {"  OKAY", "  WARN", " ERROR", "ALWAYS"};
  return level < 4 ? kTexts[level] : "   ???";
}

// The host's answers own nothing, so releasing them only clears the record.
void DUL_CALL ReleaseAnswer(DulHostResponseRecord* response) {
  *response = DulHostResponseRecord{};
}

}  // namespace

ConsoleHost::ConsoleHost(std::FILE* out)
    : table_{DulHostApi{&Request, &Slot1, &PublishEvent, &Subscribe, &Unsubscribe, &Schedule,
                        &Yield, &EnterWait, &LeaveWait, &Log},
             this},
      out_(out) {}

void DUL_CALL ConsoleHost::Request(const DulHostApi* api, DulHostResponseRecord* response,
                                   const DulHostRequestRecord* request) {
  ConsoleHost& host = From(api);
  std::fprintf(host.out_, "host: request %s (no service answers yet: 404)\n", request->url);
  response->errorText = "No service serves this resource yet";
  response->status = 404;
  response->statusText = "Not Found";
  response->release = &ReleaseAnswer;
}

void DUL_CALL ConsoleHost::PublishEvent(const DulHostApi* api, const DulHostEventRecord* event) {
  std::fprintf(From(api).out_, "host: event published: %s\n", event->name);
}

void DUL_CALL ConsoleHost::Subscribe(const DulHostApi* api, const char* name, DulPluginHandle,
                                     DulEventCallback, void*, std::uint32_t flag) {
  ConsoleHost& host = From(api);
  host.subscriptions_.emplace_back(name);
  std::fprintf(host.out_, "host: subscribe %s (flag %u)\n", name, flag);
}

void DUL_CALL ConsoleHost::Unsubscribe(const DulHostApi* api, const char* name, DulPluginHandle) {
  ConsoleHost& host = From(api);
  auto& list = host.subscriptions_;
  list.erase(std::remove(list.begin(), list.end(), name), list.end());
  std::fprintf(host.out_, "host: unsubscribe %s\n", name);
}

void DUL_CALL ConsoleHost::Schedule(const DulHostApi* api, const char* name, DulScheduledCallback,
                                    void*, double delaySeconds, std::uint32_t) {
  std::fprintf(From(api).out_, "host: schedule %s in %.3f s\n", name, delaySeconds);
}

void DUL_CALL ConsoleHost::Log(const DulHostApi* api, std::uint32_t level, const char* message) {
  std::fprintf(From(api).out_, "plugin log %s| %s\n", LevelText(level), message);
}

}  // namespace dul::host

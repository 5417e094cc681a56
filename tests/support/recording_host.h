// RecordingHost: an in-process HostApi for tests that records every call the plugin makes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/host_contract.h"

namespace dul::testing {

class RecordingHost {
 public:
  struct Subscription {
    std::string name;
    std::uint32_t flag;
    DulEventCallback callback;
    void* userData;
  };
  struct Scheduled {
    std::string name;
    DulScheduledCallback callback;
    void* userData;
    double delaySeconds;
  };
  struct LogLine {
    std::uint32_t level;
    std::string message;
  };

  RecordingHost()
      : table_{DulHostApi{&Request, &Slot1, &PublishEvent, &Subscribe, &Unsubscribe, &Schedule,
                          &Yield, &EnterWait, &LeaveWait, &Log},
               this} {}
  RecordingHost(const RecordingHost&) = delete;
  RecordingHost& operator=(const RecordingHost&) = delete;

  DulHostInterface Interface() {
    return DulHostInterface{&table_.api, reinterpret_cast<DulPluginHandle>(this)};
  }

  std::vector<Subscription> subscriptions;
  std::vector<std::string> unsubscriptions;
  std::vector<LogLine> logLines;
  std::vector<Scheduled> scheduled;

  // Runs the oldest scheduled callback, as the host would once its delay has passed.
  void RunNextScheduled() {
    const Scheduled next = scheduled.front();
    scheduled.erase(scheduled.begin());
    next.callback(next.userData);
  }

 private:
  struct Table {
    DulHostApi api;
    RecordingHost* host;
  };
  static RecordingHost& From(const DulHostApi* api) {
    return *reinterpret_cast<const Table*>(api)->host;
  }
  static void DUL_CALL Request(const DulHostApi*, DulHostResponseRecord* response,
                               const DulHostRequestRecord*) {
    response->errorText = "Not Found";
    response->status = 404;
  }
  static void DUL_CALL Slot1(const DulHostApi*, std::uintptr_t, std::uintptr_t) {}
  static void DUL_CALL PublishEvent(const DulHostApi*, const DulHostEventRecord*) {}
  static void DUL_CALL Subscribe(const DulHostApi* api, const char* name, DulPluginHandle,
                                 DulEventCallback callback, void* userData, std::uint32_t flag) {
    From(api).subscriptions.push_back(Subscription{name, flag, callback, userData});
  }
  static void DUL_CALL Unsubscribe(const DulHostApi* api, const char* name, DulPluginHandle) {
    From(api).unsubscriptions.emplace_back(name);
  }
  static void DUL_CALL Schedule(const DulHostApi* api, const char* name,
                                DulScheduledCallback callback, void* userData, double delaySeconds,
                                std::uint32_t) {
    From(api).scheduled.push_back(Scheduled{name, callback, userData, delaySeconds});
  }
  static void DUL_CALL Yield(const DulHostApi*) {}
  static void DUL_CALL EnterWait(const DulHostApi*, const char*, std::uint32_t) {}
  static std::uint64_t DUL_CALL LeaveWait(const DulHostApi*) { return 0; }
  static void DUL_CALL Log(const DulHostApi* api, std::uint32_t level, const char* message) {
    From(api).logLines.push_back(LogLine{level, message});
  }

  Table table_;
};

}  // namespace dul::testing

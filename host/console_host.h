// ConsoleHost: a HostApi that serves the plugin from the console. Log lines are printed with
// their level; requests to other services are answered 404 (no services are simulated yet);
// subscriptions and schedules are recorded and printed.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "runtime/host_contract.h"

namespace dul::host {

class ConsoleHost {
 public:
  explicit ConsoleHost(std::FILE* out);
  ConsoleHost(const ConsoleHost&) = delete;
  ConsoleHost& operator=(const ConsoleHost&) = delete;

  DulHostInterface Interface() { return DulHostInterface{&table_.api, handle()}; }
  const std::vector<std::string>& subscriptions() const { return subscriptions_; }

 private:
  // The table comes first so that the address the plugin passes back finds the host.
  struct Table {
    DulHostApi api;
    ConsoleHost* host;
  };
  static ConsoleHost& From(const DulHostApi* api) {
    return *reinterpret_cast<const Table*>(api)->host;
  }
  DulPluginHandle handle() { return reinterpret_cast<DulPluginHandle>(this); }

  static void DUL_CALL Request(const DulHostApi*, DulHostResponseRecord*,
                               const DulHostRequestRecord*);
  static void DUL_CALL Slot1(const DulHostApi*, std::uintptr_t, std::uintptr_t) {}
  static void DUL_CALL PublishEvent(const DulHostApi*, const DulHostEventRecord*);
  static void DUL_CALL Subscribe(const DulHostApi*, const char*, DulPluginHandle, DulEventCallback,
                                 void*, std::uint32_t);
  static void DUL_CALL Unsubscribe(const DulHostApi*, const char*, DulPluginHandle);
  static void DUL_CALL Schedule(const DulHostApi*, const char*, DulScheduledCallback, void*, double,
                                std::uint32_t);
  static void DUL_CALL Yield(const DulHostApi*) {}
  static void DUL_CALL EnterWait(const DulHostApi*, const char*, std::uint32_t) {}
  static std::uint64_t DUL_CALL LeaveWait(const DulHostApi*) { return 0; }
  static void DUL_CALL Log(const DulHostApi*, std::uint32_t level, const char* message);

  Table table_;
  std::FILE* out_;
  std::vector<std::string> subscriptions_;
};

}  // namespace dul::host

// PluginBase: the base of every plugin object. It owns the plugin's identity, its link to the
// host, its log target and its endpoint table; the host operations forward to the HostApi.
//
// A concrete plugin derives from it, overrides RegisterApi (types and endpoints) and
// OnInitialize (subscriptions), and is handed to LoadPlugin by the library's export.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "contract/host_contract.h"
#include "contract/plugin_api_version.h"
#include "contract/plugin_name.h"
#include "foundation/log_target.h"
#include "runtime/plugin_core.h"
#include "runtime/remoting.h"

namespace dul {

class PluginBase : public PluginCore {
 public:
  PluginBase();
  ~PluginBase() override;

  void HostRequest(DulHostResponseRecord* response, const DulHostRequestRecord* request) override;
  void HostSlot1(std::uintptr_t first, std::uintptr_t second) override;
  void HostPublishEvent(const DulHostEventRecord* event) override;
  void HostSubscribe(const char* eventName, DulPluginHandle plugin, DulEventCallback callback,
                     void* userData, std::uint32_t flag) override;
  void HostUnsubscribe(const char* eventName, DulPluginHandle plugin) override;
  void HostSchedule(const char* name, DulScheduledCallback callback, void* userData,
                    double delaySeconds, std::uint32_t zero) override;
  void HostYield() override;
  void HostEnterWait(const char* label, std::uint32_t zero) override;
  std::uint64_t HostLeaveWait() override;

  // Called once during the load, after the plugin-manager types; registers types and endpoints.
  virtual void RegisterApi();
  // Called last in initialize; its result is initialize's result.
  virtual bool OnInitialize();

  // The load: checks the host's version (fatal when incompatible), derives the names, calls
  // RegisterApi and fills the handshake's outputs.
  void Load(DulPluginHandshake& handshake, std::string_view shortName);

  const std::string& fullName() const { return name_.fullName; }
  const std::string& kind() const { return name_.kind; }
  const PluginApiVersion& hostApiVersion() const { return hostVersion_; }
  const std::vector<std::string>& defaultTags() const { return defaultTags_; }
  const std::string& typeNamePrefix() const { return typeNamePrefix_; }
  const DulPluginEntryTable& entryTable() const { return entryTable_; }
  const DulEndpointTable& endpointTable() const { return endpointTable_; }
  // The plugin's routes; RegisterApi adds them.
  Remoting& remoting() { return *remoting_; }
  const Remoting& remoting() const { return *remoting_; }
  bool hasHost() const { return host_.api != nullptr; }

  // The entry table's functions; the plugin object is a PluginBase.
  static std::uint8_t DUL_CALL Initialize(DulPluginObject plugin, const DulHostInterface* host);
  static void DUL_CALL Destroy(DulPluginObject plugin);
  static void DUL_CALL GetMemoryStats(DulPluginObject plugin, std::uint32_t* words);
  // The endpoint table's dispatch function: hands the request to the plugin's remoting.
  static void DUL_CALL DispatchRequest(DulPluginObject plugin, DulHostResponseRecord* response,
                                       const DulHostRequestRecord* request);

  static DulPluginObject AsObject(PluginBase* plugin) {
    return reinterpret_cast<DulPluginObject>(plugin);
  }
  static PluginBase* FromObject(DulPluginObject object) {
    return reinterpret_cast<PluginBase*>(object);
  }

 private:
  bool InitializeWithHost(const DulHostInterface& host);
  void SetUpLogging();

  PluginApiVersion hostVersion_;
  std::unique_ptr<LogTarget> logTarget_;
  PluginName name_;
  std::string typeNamePrefix_;
  std::vector<std::string> defaultTags_;
  std::unique_ptr<Remoting> remoting_;
  DulHostInterface host_{nullptr, nullptr};
  DulPluginEntryTable entryTable_{};
  DulEndpointTable endpointTable_{};
};

}  // namespace dul

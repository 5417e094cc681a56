#include "runtime/plugin_base.h"

#include "contract/memory_stats.h"
#include "foundation/fatal_error.h"
#include "foundation/format_text.h"
#include "foundation/logger.h"
#include "runtime/host_entry_guard.h"
#include "runtime/plugin_log_target.h"
#include "runtime/plugin_manager_types.h"
#include "runtime/service_proxy.h"
#include "runtime/telemetry_sender.h"

namespace dul {
namespace {

void ReportIncompatibleHost(std::string_view shortName, const PluginApiVersion& own,
                            const PluginApiVersion& host) {
  const std::string message =
      FormatText("%1 which supports plugin API %2 is not compatible with core's plugin API %3",
                 shortName, own.Text(), host.Text());
  Log(kLogLevelError, 1, 0, "%s", message.c_str());
  FatalError("ALE-EECF0606", nullptr, nullptr, 0, nullptr);
}

}  // namespace

PluginBase::PluginBase() {
  AcquireLogger();
  entryTable_ = DulPluginEntryTable{&PluginBase::Initialize, &PluginBase::Destroy,
                                    &PluginBase::GetMemoryStats};
  remoting_ = std::make_unique<Remoting>(typeRegistry(), defaultTags_);
  // Until the load publishes the routes, every endpoint index is out of range.
  endpointTable_ = DulEndpointTable{0, nullptr, AsObject(this), &PluginBase::DispatchRequest};
}

PluginBase::~PluginBase() {
  logTarget_.reset();
  ReleaseLogger();
}

void PluginBase::Load(DulPluginHandshake& handshake, std::string_view shortName) {
  name_ = MakePluginName(shortName, "backend", "");
  const PluginApiVersion own = OwnPluginApiVersion();
  const PluginApiVersion host{handshake.apiMajor, handshake.apiMinor, handshake.apiPatch, {}, {}};
  if (!IsCompatibleHostVersion(host, own))
    ReportIncompatibleHost(shortName, own, host);
  hostVersion_ = host;
  typeNamePrefix_ = TypeNamePrefix(shortName);
  defaultTags_ = {"Plugins", "Plugin " + std::string(shortName)};
  RegisterPluginManagerTypes(typeRegistry());
  RegisterApi();
  endpointTable_ = remoting_->PublishEndpointTable(AsObject(this), &PluginBase::DispatchRequest);
  handshake.apiMajor = own.major;
  handshake.apiMinor = own.minor;
  handshake.apiPatch = own.patch;
  handshake.entryTable = &entryTable_;
  handshake.plugin = AsObject(this);
  handshake.shortName = name_.shortName.c_str();
  handshake.endpointTable = &endpointTable_;
}

void PluginBase::RegisterApi() {}

bool PluginBase::OnInitialize() {
  return true;
}

void PluginBase::SetUpLogging() {
  if (std::unique_ptr<PluginLogTarget> target = InstallPluginLogTarget(host_.api)) {
    logTarget_ = std::move(target);
  }
}

bool PluginBase::InitializeWithHost(const DulHostInterface& host) {
  host_ = host;
  SetUpLogging();
  userAgent_ = FormatText("ZorvClient/%1 (%2)", hostVersion_.Text(), name_.shortName);
  pluginHandle_ = host.plugin;
  shortName_ = name_.shortName;
  telemetrySender_ = std::make_unique<TelemetrySender>(*this);
  SubscribeServiceProxyEvents(*this);
  return OnInitialize();
}

std::uint8_t DUL_CALL PluginBase::Initialize(DulPluginObject plugin, const DulHostInterface* host) {
  if (plugin == nullptr || host == nullptr || host->api == nullptr)
    return 0;
  return GuardHostEntry(
      "initialize",
      [&] { return static_cast<std::uint8_t>(FromObject(plugin)->InitializeWithHost(*host)); },
      [] { return std::uint8_t{0}; });
}

void DUL_CALL PluginBase::Destroy(DulPluginObject object) {
  PluginBase* plugin = FromObject(object);
  if (plugin == nullptr)
    return;
  plugin->shuttingDown_ = true;
  // The object goes whatever the shutdown met: the host never calls it again.
  GuardHostEntry("destroy", [&] { plugin->Shutdown(); });
  delete plugin;
}

void DUL_CALL PluginBase::GetMemoryStats(DulPluginObject, std::uint32_t* words) {
  if (words != nullptr)
    GuardHostEntry("getMemoryStats", [&] { WriteMemoryStatsWords(ReadAllocationStats(), words); });
}

void DUL_CALL PluginBase::DispatchRequest(DulPluginObject plugin, DulHostResponseRecord* response,
                                          const DulHostRequestRecord* request) {
  if (plugin == nullptr)
    return FillInvalidFunction(response);
  FromObject(plugin)->remoting_->DispatchEndpoint(response, request);
}

// Host operations: plain forwards to the HostApi; before initialize there is no host to call.
void PluginBase::HostRequest(DulHostResponseRecord* response, const DulHostRequestRecord* request) {
  if (hasHost())
    host_.api->request(host_.api, response, request);
}

void PluginBase::HostSlot1(std::uintptr_t first, std::uintptr_t second) {
  if (hasHost())
    host_.api->slot1(host_.api, first, second);
}

void PluginBase::HostPublishEvent(const DulHostEventRecord* event) {
  if (hasHost())
    host_.api->publishEvent(host_.api, event);
}

void PluginBase::HostSubscribe(const char* eventName, DulPluginHandle plugin,
                               DulEventCallback callback, void* userData, std::uint32_t flag) {
  if (hasHost())
    host_.api->subscribe(host_.api, eventName, plugin, callback, userData, flag);
}

void PluginBase::HostUnsubscribe(const char* eventName, DulPluginHandle plugin) {
  if (hasHost())
    host_.api->unsubscribe(host_.api, eventName, plugin);
}

void PluginBase::HostSchedule(const char* name, DulScheduledCallback callback, void* userData,
                              double delaySeconds, std::uint32_t zero) {
  if (hasHost())
    host_.api->schedule(host_.api, name, callback, userData, delaySeconds, zero);
}

void PluginBase::HostYield() {
  if (hasHost())
    host_.api->yield(host_.api);
}

void PluginBase::HostEnterWait(const char* label, std::uint32_t zero) {
  if (hasHost())
    host_.api->enterWait(host_.api, label, zero);
}

std::uint64_t PluginBase::HostLeaveWait() {
  return hasHost() ? host_.api->leaveWait(host_.api) : 0;
}

}  // namespace dul

// TelemetrySender: posts the plugin's usage metrics as named telemetry events through the host.
//
//   std::future<RequestOutcome> sent =
//       plugin.telemetrySender()->SendTelemetryEvent("item-sets-saved", {{"count", 3}});
#pragma once

#include <future>
#include <string_view>

#include "runtime/json_api_client.h"
#include "runtime/request_error.h"

namespace dul {

class TelemetrySender {
 public:
  explicit TelemetrySender(PluginCore& plugin) : plugin_(plugin) {}
  TelemetrySender(const TelemetrySender&) = delete;
  TelemetrySender& operator=(const TelemetrySender&) = delete;

  // Posts `values` as the members of one structure to "/telemetry/v1/events/<eventName>" (the
  // name is appended as it is). The send is synchronous; the returned future is already ready
  // and holds nothing or the RequestError.
  std::future<RequestOutcome> SendTelemetryEvent(std::string_view eventName,
                                                 const RequestArguments& values);

 private:
  PluginCore& plugin_;
};

}  // namespace dul

#include "runtime/telemetry_sender.h"

#include <string>

namespace dul {

std::future<RequestOutcome> TelemetrySender::SendTelemetryEvent(std::string_view eventName,
                                                                const RequestArguments& values) {
  const std::string url = "/telemetry/v1/events/" + std::string(eventName);
  std::promise<RequestOutcome> outcome;
  outcome.set_value(PostAndForget(plugin_, RequestMethod::kPost, url, values));
  return outcome.get_future();
}

}  // namespace dul

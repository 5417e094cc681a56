#include "host/app/host_record.h"

#include "binding/binding_property.h"
#include "binding/binding_result.h"
#include "codecs/json_reader.h"
#include "codecs/json_writer.h"

namespace dul::host {

std::string HostRecord::ToJson() const {
  Zorv::BindingProperty record;
  record.Member("pid") = pid;
  record.Member("port") = static_cast<std::uint64_t>(port);
  record.Member("url") = url();
  record.Member("token") = token;
  return Zorv::WriteJson(record, nullptr, "\n") + "\n";
}

std::optional<HostRecord> HostRecord::FromJson(std::string_view text) {
  Zorv::BindingResult parsed = Zorv::ParseJson(text);
  if (!parsed.ok())
    return std::nullopt;
  const Zorv::BindingProperty& value = parsed.value();
  const Zorv::BindingProperty& pid = value.Find("pid");
  const Zorv::BindingProperty& port = value.Find("port");
  const Zorv::BindingProperty& token = value.Find("token");
  if (pid.Kind() != Zorv::BindingPropertyKind::kUnsigned ||
      port.Kind() != Zorv::BindingPropertyKind::kUnsigned || port.GetUnsigned(0) > 65535 ||
      token.Kind() != Zorv::BindingPropertyKind::kString) {
    return std::nullopt;
  }
  return HostRecord{pid.GetUnsigned(0), static_cast<std::uint16_t>(port.GetUnsigned(0)),
                    std::string(token.GetString())};
}

}  // namespace dul::host

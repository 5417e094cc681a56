#include "host/services/fault_rules.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include "binding/binding_result.h"
#include "codecs/json_reader.h"

namespace dul::host {
namespace {

using Zorv::BindingProperty;
using Zorv::BindingPropertyKind;

constexpr std::array<std::string_view, 6> kMembers = {"method", "path", "status",
                                                      "count",  "body", "stream"};
constexpr std::uint64_t kLowestStatus = 100;
constexpr std::uint64_t kHighestStatus = 599;

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// Reads method, path, status and count; the fault, or empty when they are sound.
std::string ReadBasics(const BindingProperty& source, FaultRule& rule) {
  rule.method = Upper(source.Find("method").GetString());
  rule.path = std::string(source.Find("path").GetString());
  if (rule.method.empty())
    return "\"method\" must be a non-empty text";
  if (rule.path.empty() || rule.path.front() != '/')
    return "\"path\" must be a text starting with \"/\"";
  const BindingProperty& status = source.Find("status");
  if (!status.IsEmpty()) {
    const std::uint64_t value = status.GetUnsigned(0);
    if (value < kLowestStatus || value > kHighestStatus)
      return "\"status\" must be an integer from 100 to 599";
    rule.status = static_cast<std::uint32_t>(value);
  }
  const BindingProperty& count = source.Find("count");
  if (!count.IsEmpty()) {
    rule.count = count.GetUnsigned(0);
    if (rule.count == 0)
      return "\"count\" must be a positive integer";
  }
  return {};
}

std::string ReadRule(const BindingProperty& source, FaultRule& rule) {
  if (source.Kind() != BindingPropertyKind::kStructure)
    return "a rule must be an object";
  for (const auto& member : source.Members()) {
    if (std::find(kMembers.begin(), kMembers.end(), member.name) == kMembers.end())
      return "unknown member \"" + std::string(member.name) + "\"";
  }
  if (std::string fault = ReadBasics(source, rule); !fault.empty())
    return fault;
  const BindingProperty& stream = source.Find("stream");
  if (!stream.IsEmpty() && stream.GetString() != "error")
    return "\"stream\" can only be \"error\"";
  rule.streamFails = !stream.IsEmpty();
  if (source.Contains("body"))
    rule.body = source.Find("body").Clone();
  if (rule.streamFails && (rule.status != 0 || rule.body))
    return "a \"stream\" rule takes its status and body from the service";
  if (!rule.streamFails && rule.status == 0)
    return "\"status\" is required";
  return {};
}

BindingProperty RuleValue(const FaultRule& rule) {
  BindingProperty value;
  value.Member("method") = rule.method;
  value.Member("path") = rule.path;
  value.Member("count") = rule.count;
  if (rule.status != 0)
    value.Member("status") = rule.status;
  if (rule.body)
    value.Member("body") = *rule.body;
  if (rule.streamFails)
    value.Member("stream") = "error";
  return value;
}

}  // namespace

Outcome FaultRules::Set(const BindingProperty& rules) {
  if (rules.Kind() != BindingPropertyKind::kCollection)
    return Outcome::Failed("Fault rules must be a JSON list of rules");
  std::vector<FaultRule> read(rules.Size());
  for (std::size_t i = 0; i < read.size(); ++i) {
    if (std::string fault = ReadRule(rules.At(i), read[i]); !fault.empty())
      return Outcome::Failed("Fault rule " + std::to_string(i) + ": " + fault);
  }
  const std::lock_guard lock(mutex_);
  rules_ = std::move(read);
  return Outcome::Ok();
}

Outcome FaultRules::SetJson(std::string_view json) {
  Zorv::BindingResult parsed = Zorv::ParseJson(json);
  if (!parsed.ok())
    return Outcome::Failed("Fault rules are not JSON: " + std::string(parsed.ErrorText()));
  return Set(parsed.value());
}

BindingProperty FaultRules::List() const {
  BindingProperty list;
  list.SetCollection();
  const std::lock_guard lock(mutex_);
  for (const FaultRule& rule : rules_)
    list.PushBack() = RuleValue(rule);
  return list;
}

void FaultRules::Clear() {
  const std::lock_guard lock(mutex_);
  rules_.clear();
}

std::optional<FaultRule> FaultRules::Take(std::string_view method, std::string_view path) {
  const std::string upperMethod = Upper(method);
  const std::lock_guard lock(mutex_);
  const auto found = std::find_if(rules_.begin(), rules_.end(), [&](const FaultRule& rule) {
    return rule.method == upperMethod && rule.path == path;
  });
  if (found == rules_.end())
    return std::nullopt;
  FaultRule taken = *found;
  if (--found->count == 0)
    rules_.erase(found);
  return taken;
}

}  // namespace dul::host

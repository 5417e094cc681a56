// FaultRules: the faults the simulated services are told to make, for the next N requests with a
// given method and path. A rule, as JSON:
//   {"method": "GET", "path": "/dul-login/v1/session", "status": 503, "count": 2,
//    "body": {...},       optional: answered instead of the service's body
//    "stream": "error"}   optional: the service answers, but its streamed body fails midway
// The list is read and changed from HTTP threads and the event loop alike, under one lock.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "binding/binding_property.h"
#include "host/core/outcome.h"

namespace dul::host {

struct FaultRule {
  std::string method;        // upper case
  std::string path;          // matched exactly, without the query
  std::uint32_t status = 0;  // 0 for a stream fault
  std::uint64_t count = 1;   // matching requests still to fail
  std::optional<Zorv::BindingProperty> body;
  bool streamFails = false;
};

class FaultRules {
 public:
  // Replaces the list with `rules` (a JSON array of rules); on a malformed rule keeps the list
  // as it was and returns what is wrong.
  Outcome Set(const Zorv::BindingProperty& rules);
  Outcome SetJson(std::string_view json);
  // The rules still in force, with their remaining counts, as a JSON array.
  Zorv::BindingProperty List() const;
  void Clear();

  // The first rule that matches, its count taken down by one (a rule is dropped at 0), or nothing.
  std::optional<FaultRule> Take(std::string_view method, std::string_view path);

 private:
  mutable std::mutex mutex_;
  std::vector<FaultRule> rules_;
};

}  // namespace dul::host

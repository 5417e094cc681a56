// Response records the host fills for the plugin: everything they point at is allocated by the
// host and freed by the record's release function, which the plugin calls exactly once.
#pragma once

#include <cstdint>

#include "contract/host_contract.h"
#include "host/core/peer.h"

namespace dul::host {

// What the plugin did with the responses it was given; the host outlives its responses.
struct ResponseCounters {
  std::uint64_t filled = 0;
  std::uint64_t released = 0;
  std::uint64_t streamReads = 0;
  std::uint64_t streamCloses = 0;
  std::uint64_t live() const { return filled - released; }
};

// Fills the zeroed `response` from `answer`: status, error text, the body as a value record or
// a stream of the answer's chunks, a Content-Type header, and the release function.
void FillResponseRecord(DulHostResponseRecord& response, const PeerAnswer& answer,
                        ResponseCounters& counters);

}  // namespace dul::host

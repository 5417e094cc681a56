// Conversions between the contract's request and response records and the host's own
// PeerRequest and PeerAnswer.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "contract/host_contract.h"
#include "host/core/peer.h"

namespace dul::host {

// "GET" ... "PUT" for 1 to 7, `methodText` for 8, "" for any other code.
std::string MethodNameOf(std::uint32_t method, const char* methodText);

// Reads a request the plugin sent. A body of text or bytes keeps its bytes (and content type);
// any other value becomes JSON. False with `error` set when the body record cannot be read or
// there is more than one argument.
bool ReadPeerRequest(const DulHostRequestRecord& record, PeerRequest& request, std::string& error);

// Delivers `request` to endpoint `endpointIndex` of `table` and reads the plugin's response,
// releasing it once read.
PeerAnswer DispatchToEndpoint(const DulEndpointTable& table, std::uint32_t endpointIndex,
                              const PeerRequest& request, DulPluginHandle plugin);

}  // namespace dul::host

// Translation between HTTP messages and the host's PeerRequest and PeerAnswer, kept apart from
// the server so it can be checked without one.
//
// Answers: 304 stays a bare 304. A status of 400 to 599 is kept: with its error text as
// {"httpStatus": N, "message": TEXT}, else with its body. A success (2xx, no error text) with a
// body answers its status (200 for a 204) and the body as JSON; without a body, 204 for a 200
// and its own status otherwise. Anything else (an error text with a success status, a status
// that is no HTTP status) answers 500, so a failure never reads as a success.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/core/peer.h"

namespace dul::host {

struct HttpReply {
  int status = 200;
  std::string contentType;  // empty without a body
  std::string body;
  // A streamed answer that fails midway: the body's bytes are what came before the failure, and
  // the connection must break after them instead of ending the answer normally.
  bool breaksMidway = false;
  std::string allow;  // the Allow header of a 405
};

HttpReply ReplyFor(PeerAnswer answer);
HttpReply ErrorReply(int status, std::string_view message);

// The reason phrase of a status ("Payload Too Large"); "Error" for one without a phrase here.
std::string_view StatusText(int status);

// Paths the plugin and the services can be given: they start with "/" and hold no control
// character (a decoded %00 would cut the path short where the plugin reads it as C text).
bool IsAcceptablePath(std::string_view path);

}  // namespace dul::host

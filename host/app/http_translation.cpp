#include "host/app/http_translation.h"

#include <array>
#include <utility>

#include "codecs/json_writer.h"

namespace dul::host {
namespace {

constexpr const char* kJson = "application/json";

HttpReply StreamedReply(const PeerAnswer& answer) {
  HttpReply reply;
  reply.contentType = kJson;
  for (const StreamChunk& chunk : *answer.stream) {
    if (chunk.fails) {
      reply.breaksMidway = true;
      break;
    }
    reply.body += chunk.bytes;
  }
  return reply;
}

}  // namespace

HttpReply ErrorReply(int status, std::string_view message) {
  Zorv::BindingProperty body;
  body.Member("httpStatus") = status;
  body.Member("message") = message;
  return HttpReply{status, kJson, Zorv::WriteJson(body, nullptr, nullptr), false, {}};
}

HttpReply ReplyFor(PeerAnswer answer) {
  const int status = static_cast<int>(answer.status);
  const bool failed = status >= 400 && status <= 599;
  if (status == 304)
    return HttpReply{304, "", "", false, {}};
  if (!failed && (answer.errorText || status < 200 || status > 299)) {
    return ErrorReply(
        500, answer.errorText.value_or("The answer carried the status " + std::to_string(status)));
  }
  if (answer.errorText) {
    HttpReply reply = ErrorReply(status, *answer.errorText);
    reply.allow = std::move(answer.allowedMethods);
    return reply;
  }
  HttpReply reply;
  if (answer.stream) {
    reply = StreamedReply(answer);
  } else if (answer.garbledKind) {
    reply = HttpReply{200, kJson, "{\"garbled", false, {}};  // a broken body, as a client sees one
  } else if (answer.bodyJson) {
    reply = HttpReply{200, kJson, std::move(*answer.bodyJson), false, {}};
  } else if (answer.body && !answer.body->IsEmpty()) {
    reply = HttpReply{200, kJson, Zorv::WriteJson(*answer.body, nullptr, nullptr), false, {}};
  } else {
    return failed ? ErrorReply(status, "The service answered " + std::to_string(status))
                  : HttpReply{status == 200 ? 204 : status, "", "", false, {}};
  }
  if (failed || status != 204)
    reply.status = status;
  return reply;
}

std::string_view StatusText(int status) {
  switch (status) {
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 411:
      return "Length Required";
    case 413:
      return "Payload Too Large";
    case 414:
      return "URI Too Long";
    case 415:
      return "Unsupported Media Type";
    case 416:
      return "Range Not Satisfiable";
    case 417:
      return "Expectation Failed";
    case 431:
      return "Request Header Fields Too Large";
    case 500:
      return "Internal Server Error";
    case 501:
      return "Not Implemented";
    case 503:
      return "Service Unavailable";
    default:
      return "Error";
  }
}

bool IsAcceptablePath(std::string_view path) {
  if (path.empty() || path.front() != '/')
    return false;
  for (const char c : path) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      return false;
  }
  return true;
}

}  // namespace dul::host

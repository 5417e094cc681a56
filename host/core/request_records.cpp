#include "host/core/request_records.h"

#include <array>
#include <optional>
#include <string_view>

#include "binding/binding_result.h"
#include "binding/binding_value_record.h"
#include "codecs/json_reader.h"
#include "codecs/json_writer.h"
#include "contract/request_method.h"

namespace dul::host {

namespace {

constexpr std::uint32_t kMethodNamed = MethodCode(RequestMethod::kOther);
constexpr std::uint32_t kStreamReadSize = 4096;

// Reads a streamed response of the plugin whole; false when a read fails.
bool ReadWholeStream(const DulHostResponseRecord& response, std::string& text) {
  const DulStreamReadFunction read = response.streamRead;
  const DulStreamHandle stream = response.stream;
  std::array<char, kStreamReadSize> buffer{};
  for (;;) {
    std::uint32_t byteCount = kStreamReadSize;
    std::uint8_t more = 0;
    if (read(stream, buffer.data(), &byteCount, &more) == 0 || byteCount > kStreamReadSize)
      return false;
    text.append(buffer.data(), byteCount);
    if (more == 0)
      return true;
  }
}

void ReadStreamedBody(const DulHostResponseRecord& response, PeerAnswer& answer) {
  std::string text;
  const bool complete = ReadWholeStream(response, text);
  const DulStreamCloseFunction close = response.streamClose;
  if (close != nullptr)
    close(response.stream);
  Zorv::BindingResult parsed = Zorv::ParseJson(text);
  if (!complete || !parsed.ok()) {
    answer.status = 500;
    answer.errorText = complete ? std::string(parsed.ErrorText()) : "Stream read error";
    return;
  }
  answer.body = parsed.TakeValue();
}

// The body as JSON text, written from the record itself when the caller wants text and the record
// allows it, else as the value the record holds.
void ReadBodyRecord(const DulBindingValueRecord& body, bool asJson, PeerAnswer& answer) {
  if (asJson) {
    if (std::optional<std::string> text = Zorv::WriteRecordJson(body)) {
      answer.bodyJson = std::move(text);
      return;
    }
  }
  Zorv::BindingResult read;
  Zorv::ReadValueRecord(read, body, "body");
  if (read.ok())
    answer.body = read.TakeValue();
  else
    answer = PeerAnswer::Error(500, std::string(read.ErrorText()));
}

PeerAnswer ReadPluginResponse(DulHostResponseRecord& response, bool asJson) {
  PeerAnswer answer;
  answer.status = response.status;
  const char* errorText = response.errorText;
  if (errorText != nullptr)
    answer.errorText = errorText;
  const DulBindingValueRecord body = response.body;
  if (response.streamRead != nullptr) {
    ReadStreamedBody(response, answer);
  } else if (body.kind != Zorv::kRecordEmpty) {
    ReadBodyRecord(body, asJson, answer);
  }
  const DulResponseReleaseFunction release = response.release;
  if (release != nullptr)
    release(&response);
  return answer;
}

}  // namespace

std::string MethodNameOf(std::uint32_t method, const char* methodText) {
  if (method == kMethodNamed)
    return methodText != nullptr ? methodText : "";
  return std::string(MethodName(method));
}

bool ReadPeerRequest(const DulHostRequestRecord& record, PeerRequest& request, std::string& error) {
  request.method = record.method;
  request.methodName = MethodNameOf(record.method, record.methodText);
  const std::string_view url = record.url != nullptr ? record.url : "";
  const std::size_t question = url.find('?');
  request.path = url.substr(0, question);
  if (question != std::string_view::npos)
    request.query = url.substr(question + 1);
  if (record.argumentCount > 1) {
    error = "A request carries at most one argument";
    return false;
  }
  if (record.arguments == nullptr || record.argumentCount == 0)
    return true;
  const DulBindingValueRecord body = record.arguments[0].value;
  if (body.kind == Zorv::kRecordEmpty)
    return true;
  if (const std::optional<std::string_view> bytes = Zorv::ValueRecordBytes(body)) {
    request.body.assign(*bytes);
    request.contentType = record.contentType != nullptr
                              ? std::string(record.contentType, record.contentTypeLength)
                              : "application/octet-stream";
    return true;
  }
  Zorv::BindingResult read;
  Zorv::ReadValueRecord(read, body, "body");
  if (!read.ok()) {
    error = std::string(read.ErrorText());
    return false;
  }
  request.body = Zorv::WriteJson(read.value(), nullptr, nullptr);
  request.contentType = "application/json";
  return true;
}

PeerAnswer DispatchToEndpoint(const DulEndpointTable& table, std::uint32_t endpointIndex,
                              const PeerRequest& request, DulPluginHandle plugin) {
  const std::string url = request.query.empty() ? request.path : request.path + "?" + request.query;
  DulRequestArgument argument{};
  argument.value.kind = Zorv::kRecordBorrowedBytes;
  argument.value.payload.span.data = request.body.data();
  argument.value.payload.span.length = static_cast<std::uint32_t>(request.body.size());
  const bool hasBody = !request.body.empty() || !request.contentType.empty();
  DulHostRequestRecord record{};
  record.method = request.method;
  record.url = url.c_str();
  record.arguments = hasBody ? &argument : nullptr;
  record.argumentCount = hasBody ? 1 : 0;
  record.endpointIndex = endpointIndex;
  record.contentTypeLength = static_cast<std::uint32_t>(request.contentType.size());
  record.contentType = request.contentType.empty() ? nullptr : request.contentType.c_str();
  record.plugin = plugin;
  record.methodText = request.method == kMethodNamed ? request.methodName.c_str() : nullptr;
  DulHostResponseRecord response{};
  table.dispatch(table.plugin, &response, &record);
  return ReadPluginResponse(response, request.answerAsJson);
}

}  // namespace dul::host

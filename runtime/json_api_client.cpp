#include "runtime/json_api_client.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "binding/binding_value_record.h"
#include "codecs/json_reader.h"
#include "foundation/format_text.h"

namespace dul {
namespace {

constexpr std::uint32_t kStreamReadSize = 4096;
// A streamed body's announced size is the host's word, not a promise: reserve at most this much
// up front and let larger bodies grow as they arrive.
constexpr std::uint64_t kMaxStreamReservation = std::uint64_t{16} << 20;
constexpr std::int32_t kParametersNotConverted = 400;
constexpr std::int32_t kResponseNotRead = 0;
constexpr const char* kStreamReadError = "Stream read error";

RequestError MakeRequestError(std::int32_t code, std::string_view format, RequestMethod method,
                              std::string_view url, std::string_view detail) {
  return RequestError{code, FormatText(format, MethodName(method), url, detail)};
}

RequestError StreamError(RequestMethod method, std::string_view url, std::string_view detail) {
  return MakeRequestError(kResponseNotRead, "Error reading streamed response for %1 %2: %3", method,
                          url, detail);
}

// Sends one request; `body`, when given, becomes the one argument, whose record is freed again
// as soon as the host returns.
RequestOutcome SendToHost(PluginCore& plugin, DulHostResponseRecord& response, RequestMethod method,
                          std::string_view url, const Zorv::BindingProperty* body) {
  const std::string urlText(url);
  DulRequestArgument argument{};
  if (body != nullptr)
    argument.value = Zorv::MakeValueRecord(*body, &plugin.typeRegistry());
  DulHostRequestRecord request{};
  request.method = MethodCode(method);
  request.url = urlText.c_str();
  request.arguments = body != nullptr ? &argument : nullptr;
  request.argumentCount = body != nullptr ? 1 : 0;
  request.plugin = plugin.pluginHandle();
  request.methodText = request.method == MethodCode(RequestMethod::kOther) ? "" : nullptr;
  plugin.HostRequest(&response, &request);
  DulBindingValueRecord sentBody = argument.value;
  Zorv::ClearValueRecord(sentBody);

  const char* errorText = response.errorText;
  if (errorText == nullptr)
    return std::nullopt;
  const std::uint32_t status = response.status;
  return MakeRequestError(static_cast<std::int32_t>(status), "Error response for %1 %2: %3", method,
                          url, errorText);
}

// The stream fields of a response, copied out of the packed record.
struct ResponseStream {
  DulStreamReadFunction read;
  DulStreamCloseFunction close;
  DulStreamHandle handle;
  std::uint64_t expectedSize;
};

ResponseStream StreamOf(const DulHostResponseRecord& response) {
  return ResponseStream{response.streamRead, response.streamClose, response.stream,
                        response.streamExpectedSize};
}

// Appends the whole stream to `text`; false when a read fails or reports more bytes than the
// buffer holds.
bool ReadStreamText(PluginCore& plugin, const ResponseStream& stream, std::string& text) {
  text.reserve(static_cast<std::size_t>(std::min(stream.expectedSize, kMaxStreamReservation)));
  char buffer[kStreamReadSize];
  for (;;) {
    std::uint32_t byteCount = kStreamReadSize;
    std::uint8_t more = 1;
    if (stream.read(stream.handle, buffer, &byteCount, &more) == 0 || byteCount > kStreamReadSize)
      return false;
    text.append(buffer, byteCount);
    if (more == 0)
      return true;
    if (byteCount < kStreamReadSize)
      WaitYield(plugin);
  }
}

RequestResult<Zorv::BindingProperty> ReadStreamedValue(PluginCore& plugin,
                                                       const ResponseStream& stream,
                                                       RequestMethod method, std::string_view url) {
  std::string text;
  const bool complete = ReadStreamText(plugin, stream, text);
  if (stream.close != nullptr)
    stream.close(stream.handle);
  if (!complete)
    return StreamError(method, url, kStreamReadError);
  Zorv::BindingResult parsed = Zorv::ParseJson(text);
  if (!parsed.ok())
    return StreamError(method, url, parsed.ErrorText());
  return parsed.TakeValue();
}

RequestResult<Zorv::BindingProperty> ReadBodyValue(const DulHostResponseRecord& response,
                                                   RequestMethod method, std::string_view url) {
  const DulBindingValueRecord body = response.body;
  Zorv::BindingResult read;
  Zorv::ReadValueRecord(read, body, "<result>");
  if (!read.ok())
    return ConversionError(method, url, read.ErrorText());
  return read.TakeValue();
}

}  // namespace

void WaitYield(PluginCore& plugin) {
  plugin.HostEnterWait("Wait: yield", 0);
  plugin.HostYield();
  plugin.HostLeaveWait();
}

void ReleaseResponse(DulHostResponseRecord& response) {
  const DulResponseReleaseFunction release = response.release;
  if (release == nullptr)
    return;
  response.release = nullptr;  // a second call finds nothing to release
  release(&response);
}

RequestOutcome SendRequest(PluginCore& plugin, DulHostResponseRecord& response,
                           RequestMethod method, std::string_view url) {
  return SendToHost(plugin, response, method, url, nullptr);
}

RequestOutcome SendRequestBody(PluginCore& plugin, DulHostResponseRecord& response,
                               RequestMethod method, std::string_view url,
                               const Zorv::BindingResult& body) {
  if (!body.ok()) {
    return MakeRequestError(kParametersNotConverted,
                            "Request not sent: Error converting parameters for %1 %2: %3", method,
                            url, body.ErrorText());
  }
  return SendToHost(plugin, response, method, url, &body.value());
}

RequestOutcome SendRequestWithArguments(PluginCore& plugin, DulHostResponseRecord& response,
                                        RequestMethod method, std::string_view url,
                                        const RequestArguments& arguments) {
  Zorv::BindingResult body;
  Zorv::BindingProperty& structure = body.ResetValue();
  structure.SetStructure();
  for (const auto& [name, value] : arguments)
    structure.Member(name) = value;
  return SendRequestBody(plugin, response, method, url, body);
}

RequestOutcome PostAndForget(PluginCore& plugin, RequestMethod method, std::string_view url,
                             const RequestArguments& arguments) {
  DulHostResponseRecord response{};
  RequestOutcome outcome = SendRequestWithArguments(plugin, response, method, url, arguments);
  ReleaseResponse(response);
  return outcome;
}

RequestResult<Zorv::BindingProperty> ReadResponseValue(PluginCore& plugin,
                                                       DulHostResponseRecord& response,
                                                       RequestMethod method, std::string_view url) {
  const ResponseStream stream = StreamOf(response);
  RequestResult<Zorv::BindingProperty> read = stream.read != nullptr
                                                  ? ReadStreamedValue(plugin, stream, method, url)
                                                  : ReadBodyValue(response, method, url);
  ReleaseResponse(response);
  return read;
}

RequestError ConversionError(RequestMethod method, std::string_view url, std::string_view error) {
  return MakeRequestError(kResponseNotRead, "Error converting response for %1 %2: %3", method, url,
                          error);
}

}  // namespace dul

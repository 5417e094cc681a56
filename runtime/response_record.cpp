#include "runtime/response_record.h"

#include <algorithm>
#include <cstring>

#include "binding/binding_value_record.h"
#include "foundation/allocation_counters.h"
#include "foundation/fatal_error.h"
#include "runtime/host_entry_guard.h"

namespace dul {
namespace {

// The status text of a record that has none; never freed.
constexpr const char* kNoStatusText = "";

void* AllocateOrFail(std::size_t bytes) {
  void* block = CountingAllocate(bytes);
  if (block == nullptr)
    FatalError("block != nullptr", "Out of memory for a response record", __FILE__, __LINE__,
               __func__);
  return block;
}

// A NUL-terminated copy from the counting allocator; the text is cut at its first NUL, as the
// host reads it as a C string.
char* CopyText(std::string_view text) {
  const std::size_t length = std::min(text.size(), text.find('\0'));
  auto* copy = static_cast<char*>(AllocateOrFail(length + 1));
  std::memcpy(copy, text.data(), length);
  copy[length] = '\0';
  return copy;
}

ResponseStream* OwnedStream(DulStreamHandle handle) {
  return reinterpret_cast<ResponseStream*>(handle);
}

std::uint8_t DUL_CALL ForwardStreamRead(DulStreamHandle handle, void* buffer,
                                        std::uint32_t* byteCount, std::uint8_t* more) {
  if (handle == nullptr || byteCount == nullptr || more == nullptr ||
      (buffer == nullptr && *byteCount != 0))
    return 0;
  return GuardHostEntry(
      "stream read",
      [&] {
        bool moreToCome = false;
        const bool read = OwnedStream(handle)->Read(buffer, *byteCount, moreToCome);
        *more = moreToCome ? 1 : 0;
        return static_cast<std::uint8_t>(read);
      },
      [] { return std::uint8_t{0}; });
}

void DUL_CALL ForwardStreamClose(DulStreamHandle handle) {
  if (handle != nullptr)
    GuardHostEntry("stream close", [handle] { OwnedStream(handle)->Close(); });
}

void FillHeaders(DulHostResponseRecord* response,
                 const std::vector<std::pair<std::string, std::string>>& headers) {
  if (headers.empty())
    return;
  auto** texts = static_cast<const char**>(AllocateOrFail(2 * headers.size() * sizeof(char*)));
  for (std::size_t i = 0; i < headers.size(); ++i) {
    texts[2 * i] = CopyText(headers[i].first);
    texts[2 * i + 1] = CopyText(headers[i].second);
  }
  response->headers = texts;
  response->headerCount = static_cast<std::uint32_t>(headers.size());
}

void FillStream(DulHostResponseRecord* response, std::unique_ptr<ResponseStream> stream) {
  response->streamExpectedSize = stream->Size();
  response->stream = reinterpret_cast<DulStreamHandle>(stream.release());
  response->streamRead = &ForwardStreamRead;
  response->streamClose = &ForwardStreamClose;
}

void FreeHeaders(const char* const* headers, std::uint32_t count) {
  if (headers == nullptr)
    return;
  for (std::size_t i = 0; i < 2 * static_cast<std::size_t>(count); ++i)
    CountingFree(const_cast<char*>(headers[i]));
  CountingFree(const_cast<const char**>(headers));
}

// Frees what the record owns and zeroes it.
void ReleaseResponseRecord(DulHostResponseRecord* response) {
  // Fields of the packed record are read into locals, never referenced in place.
  DulBindingValueRecord body = response->body;
  Zorv::ClearValueRecord(body);
  const char* errorText = response->errorText;
  if (response->ownsErrorText != 0 && errorText != nullptr)
    CountingFree(const_cast<char*>(errorText));
  const char* statusText = response->statusText;
  if (statusText != nullptr && statusText[0] != '\0')
    CountingFree(const_cast<char*>(statusText));
  FreeHeaders(response->headers, response->headerCount);
  const DulStreamReadFunction streamRead = response->streamRead;
  if (response->stream != nullptr && streamRead == &ForwardStreamRead)
    delete OwnedStream(response->stream);
  std::memset(response, 0, sizeof(*response));
}

}  // namespace

CallResult CallResult::Failure(std::string_view message, std::uint32_t status) {
  CallResult call;
  call.result.SetError(message);
  call.status = status;
  return call;
}

void FillResponse(DulHostResponseRecord* response, CallResult call,
                  const Zorv::BindingTypeRegistry* registry) {
  if (response == nullptr)
    return;
  std::memset(response, 0, sizeof(*response));
  const bool succeeded = call.result.ok();
  if (!succeeded) {
    response->errorText = CopyText(call.result.ErrorText());
    response->ownsErrorText = 1;
  } else if (call.stream != nullptr) {
    FillStream(response, std::move(call.stream));
  } else {
    response->body = Zorv::MakeValueRecord(call.result.value(), registry);
  }
  response->resultFlag = succeeded ? 1 : 0;
  response->resultCode = call.resultCode >= 1 && call.resultCode <= 3 ? call.resultCode : 0;
  if (call.status != CallResult::kDefaultStatus)
    response->status = call.status;
  else
    response->status = succeeded ? kStatusOk : kStatusBadRequest;
  response->statusText = call.statusText.empty() ? kNoStatusText : CopyText(call.statusText);
  FillHeaders(response, call.headers);
  response->release = &ReleaseResponse;
}

void FillStaticFailure(DulHostResponseRecord* response, const char* errorText,
                       std::uint32_t status) {
  if (response == nullptr)
    return;
  std::memset(response, 0, sizeof(*response));
  response->errorText = errorText;
  response->ownsErrorText = 0;
  response->status = status;
  response->statusText = kNoStatusText;
  response->release = &ReleaseResponse;
}

void DUL_CALL ReleaseResponse(DulHostResponseRecord* response) {
  if (response == nullptr)
    return;
  GuardHostEntry("response release", [response] { ReleaseResponseRecord(response); });
}

}  // namespace dul

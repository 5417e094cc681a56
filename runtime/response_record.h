// The plugin's answers to requests the host delivers to its endpoints: the call result a handler
// returns, and the DulHostResponseRecord filled from it. Every record filled here owns what it
// points at and carries ReleaseResponse, which the host calls once it has read the answer.
//
//   CallResult call;
//   call.result = "done";
//   FillResponse(response, std::move(call), &registry);   // 200, body "done"
//   ...                                                  // the host reads it, then:
//   response->release(response);                         // frees everything, zeroes the record
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "binding/binding_result.h"
#include "contract/host_contract.h"

namespace Zorv {
class BindingTypeRegistry;
}

namespace dul {

// A response body produced piece by piece. The response record owns it once filled: the host's
// read and close calls are forwarded to it, and releasing the record deletes it.
class ResponseStream {
 public:
  virtual ~ResponseStream() = default;
  // The expected size of the whole body in bytes.
  virtual std::uint64_t Size() const = 0;
  // Fills up to `byteCount` bytes of `buffer` and sets `byteCount` to the number written and
  // `more` to whether bytes remain; false reports a failed read.
  virtual bool Read(void* buffer, std::uint32_t& byteCount, bool& more) = 0;
  // Called when the host is done reading; the object stays alive until the record is released.
  virtual void Close() {}
};

// What a handler answers. A failed result becomes the response's error text (its member "error");
// a successful one becomes the body unless a stream is given.
struct CallResult {
  // Status 0 stands for the default: 200 when the result succeeded, 400 when it failed.
  static constexpr std::uint32_t kDefaultStatus = 0;

  Zorv::BindingResult result;
  std::uint32_t status = kDefaultStatus;
  std::string statusText;
  std::vector<std::pair<std::string, std::string>> headers;
  std::unique_ptr<ResponseStream> stream;  // the body, streamed; used only on success
  std::uint32_t resultCode = 0;            // passed on to the host when 1, 2 or 3

  // A failed call with the given message and status.
  static CallResult Failure(std::string_view message, std::uint32_t status = kDefaultStatus);
};

inline constexpr std::uint32_t kStatusOk = 200;
inline constexpr std::uint32_t kStatusBadRequest = 400;
inline constexpr std::uint32_t kStatusNotFound = 404;
inline constexpr std::uint32_t kStatusInternalError = 500;
inline constexpr const char* kInvalidFunctionText = "Invalid function";

// Fills `response` from the call: the error text (a copy owned by the record) or the body record
// or the stream, then status, status text and headers, and ReleaseResponse. Whatever the record
// held before is overwritten, not freed.
void FillResponse(DulHostResponseRecord* response, CallResult call,
                  const Zorv::BindingTypeRegistry* registry);

// A failure whose text is a constant the record does not own; nothing is allocated.
void FillStaticFailure(DulHostResponseRecord* response, const char* errorText,
                       std::uint32_t status);

// The answer for a request that names no function: 404 "Invalid function".
inline void FillInvalidFunction(DulHostResponseRecord* response) {
  FillStaticFailure(response, kInvalidFunctionText, kStatusNotFound);
}

// Frees the body record, the error text when the record owns it, the status text unless it is
// empty, every header text and the header array, and the stream object; then zeroes all bytes.
void DUL_CALL ReleaseResponse(DulHostResponseRecord* response);

}  // namespace dul

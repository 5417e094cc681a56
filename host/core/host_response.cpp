#include "host/core/host_response.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>
#include <string>

#include "binding/binding_value_record.h"

namespace dul::host {

namespace {

class ChunkStream {
 public:
  ChunkStream(std::vector<StreamChunk> chunks, ResponseCounters& counters)
      : chunks_(std::move(chunks)), counters_(counters) {}

  std::uint8_t Read(void* buffer, std::uint32_t* byteCount, std::uint8_t* more) {
    counters_.streamReads++;
    if (next_ >= chunks_.size()) {
      *byteCount = 0;
      *more = 0;
      return 1;
    }
    const StreamChunk& chunk = chunks_[next_];
    if (chunk.fails)
      return 0;
    const std::size_t left = chunk.bytes.size() - offset_;
    const std::size_t taken = std::min<std::size_t>(left, *byteCount);
    std::memcpy(buffer, chunk.bytes.data() + offset_, taken);
    offset_ += taken;
    if (offset_ == chunk.bytes.size()) {
      next_++;
      offset_ = 0;
    }
    *byteCount = static_cast<std::uint32_t>(taken) + chunk.overstatedBy;
    *more = next_ < chunks_.size() ? 1 : 0;
    return 1;
  }
  void Close() { counters_.streamCloses++; }

 private:
  std::vector<StreamChunk> chunks_;
  std::size_t next_ = 0;
  std::size_t offset_ = 0;
  ResponseCounters& counters_;
};

struct OwnedResponse;

// The packed record has no word of its own for the host, so the header array it points at
// leads back to the owner.
struct HeaderBlock {
  const char* words[2];
  OwnedResponse* owner;
};

struct OwnedResponse {
  explicit OwnedResponse(ResponseCounters& counters) : counters(counters) {}
  HeaderBlock headers{};
  std::string errorText;
  DulBindingValueRecord body{};
  std::unique_ptr<ChunkStream> stream;
  ResponseCounters& counters;
};

ChunkStream& StreamOf(DulStreamHandle handle) {
  return *reinterpret_cast<ChunkStream*>(handle);
}

std::uint8_t DUL_CALL ReadStream(DulStreamHandle handle, void* buffer, std::uint32_t* byteCount,
                                 std::uint8_t* more) {
  return StreamOf(handle).Read(buffer, byteCount, more);
}

void DUL_CALL CloseStream(DulStreamHandle handle) {
  StreamOf(handle).Close();
}

void DUL_CALL ReleaseResponse(DulHostResponseRecord* response) {
  const char* const* headers = response->headers;
  OwnedResponse* owned = reinterpret_cast<const HeaderBlock*>(headers)->owner;
  owned->counters.released++;
  Zorv::ClearValueRecord(owned->body);
  delete owned;
  std::memset(static_cast<void*>(response), 0, sizeof(*response));
}

void AttachStream(DulHostResponseRecord& response, OwnedResponse& owned, const PeerAnswer& answer) {
  const std::vector<StreamChunk>& chunks = *answer.stream;
  const std::uint64_t total =
      std::accumulate(chunks.begin(), chunks.end(), std::uint64_t{0},
                      [](std::uint64_t sum, const StreamChunk& c) { return sum + c.bytes.size(); });
  owned.stream = std::make_unique<ChunkStream>(chunks, owned.counters);
  response.streamRead = &ReadStream;
  response.streamClose = &CloseStream;
  response.stream = reinterpret_cast<DulStreamHandle>(owned.stream.get());
  response.streamExpectedSize = answer.streamExpectedSize.value_or(total);
}

}  // namespace

void FillResponseRecord(DulHostResponseRecord& response, const PeerAnswer& answer,
                        ResponseCounters& counters) {
  auto* owned = new OwnedResponse(counters);
  counters.filled++;
  owned->headers = HeaderBlock{{"Content-Type", "application/json"}, owned};
  if (answer.body)
    owned->body = Zorv::MakeValueRecord(*answer.body, nullptr);
  response.body = owned->body;
  if (answer.garbledKind) {
    // A kind over an all-zero payload: `{}` zeroes only the union's first member, and another
    // kind's payload would hand the reader a pointer that is not one. The owned copy keeps its
    // kind and payload for the release.
    DulBindingValueRecord garbled;
    std::memset(&garbled, 0, sizeof(garbled));
    garbled.kind = *answer.garbledKind;
    response.body = garbled;
  }
  if (answer.errorText) {
    owned->errorText = *answer.errorText;
    response.errorText = owned->errorText.c_str();
  }
  response.status = answer.status;
  response.statusText = "";
  response.headers = owned->headers.words;
  response.headerCount = 1;
  if (answer.stream)
    AttachStream(response, *owned, answer);
  response.release = &ReleaseResponse;
}

}  // namespace dul::host

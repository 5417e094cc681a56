#include "runtime/response_record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "binding/binding_type_registry.h"
#include "foundation/allocation_counters.h"

namespace dul {
namespace {

bool AllBytesZero(const DulHostResponseRecord& response) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&response);
  return std::all_of(bytes, bytes + sizeof(response), [](unsigned char b) { return b == 0; });
}

// What one step allocated, from the process-wide counters.
struct CounterDelta {
  std::uint64_t count;
  std::uint64_t bytes;
};

CallResult FullCall() {
  CallResult call;
  call.result.ResetValue().Member("sets").PushBack().Member("title") = "Jungle";
  call.status = 201;
  call.statusText = "Created";
  call.headers = {{"Content-Language", "en"}, {"X-Trace", "abc"}};
  return call;
}

// Catches a release function that leaks or frees something it does not own: every byte that
// filling allocated is freed by the release, and the record ends all zero.
TEST(ResponseRecord, ReleaseFreesExactlyWhatFillingAllocated) {
  Zorv::BindingTypeRegistry registry;
  for (const bool failed : {false, true}) {
    CallResult call = FullCall();
    if (failed)
      call.result.SetError("Something broke");
    DulHostResponseRecord response{};
    const AllocationStats beforeFill = ReadAllocationStats();
    FillResponse(&response, std::move(call), &registry);
    const AllocationStats afterFill = ReadAllocationStats();
    EXPECT_EQ(+response.status, 201u);
    EXPECT_STREQ(response.statusText, "Created");
    ASSERT_EQ(+response.headerCount, 2u);
    EXPECT_STREQ(response.headers[2], "X-Trace");
    EXPECT_STREQ(response.headers[3], "abc");
    EXPECT_EQ(+response.resultFlag, failed ? 0 : 1);
    if (failed) {
      EXPECT_STREQ(response.errorText, "Something broke");
    } else {
      EXPECT_TRUE(response.errorText == nullptr);
      EXPECT_EQ(+response.body.kind, 10u);
    }
    const CounterDelta filled{afterFill.allocations - beforeFill.allocations,
                              afterFill.bytesAllocated - beforeFill.bytesAllocated};
    response.release(&response);
    const AllocationStats afterRelease = ReadAllocationStats();
    EXPECT_EQ(afterRelease.frees - afterFill.frees, filled.count);
    EXPECT_EQ(afterRelease.bytesFreed - afterFill.bytesFreed, filled.bytes);
    EXPECT_TRUE(AllBytesZero(response));
  }
}

// Catches a release that frees the constant "Invalid function" text.
TEST(ResponseRecord, InvalidFunctionOwnsNothing) {
  DulHostResponseRecord response{};
  FillInvalidFunction(&response);
  EXPECT_STREQ(response.errorText, "Invalid function");
  EXPECT_EQ(+response.ownsErrorText, 0);
  EXPECT_EQ(+response.status, 404u);
  EXPECT_STREQ(response.statusText, "");  // empty, never null
  response.release(&response);
  EXPECT_TRUE(AllBytesZero(response));
}

class TextStream : public ResponseStream {
 public:
  TextStream(std::string text, bool* closed, bool* deleted)
      : text_(std::move(text)), closed_(closed), deleted_(deleted) {}
  ~TextStream() override { *deleted_ = true; }
  std::uint64_t Size() const override { return text_.size(); }
  bool Read(void* buffer, std::uint32_t& byteCount, bool& more) override {
    const std::size_t count = std::min<std::size_t>(byteCount, text_.size() - offset_);
    std::memcpy(buffer, text_.data() + offset_, count);
    offset_ += count;
    byteCount = static_cast<std::uint32_t>(count);
    more = offset_ < text_.size();
    return true;
  }
  void Close() override { *closed_ = true; }

 private:
  std::string text_;
  std::size_t offset_ = 0;
  bool* closed_;
  bool* deleted_;
};

// Catches stream reads and closes not reaching the call's stream object, a wrong expected size,
// and a stream object that the record owns but never deletes.
TEST(ResponseRecord, StreamedAnswerForwardsToTheStreamObject) {
  bool closed = false;
  bool deleted = false;
  CallResult call;
  call.stream = std::make_unique<TextStream>("hello world", &closed, &deleted);
  DulHostResponseRecord response{};
  FillResponse(&response, std::move(call), nullptr);
  EXPECT_EQ(+response.streamExpectedSize, 11u);
  EXPECT_EQ(+response.body.kind, 0u);
  char buffer[8];
  std::uint32_t count = sizeof(buffer);
  std::uint8_t more = 0;
  ASSERT_EQ(response.streamRead(response.stream, buffer, &count, &more), 1);
  EXPECT_EQ(std::string(buffer, count), "hello wo");
  EXPECT_EQ(more, 1);
  count = sizeof(buffer);
  ASSERT_EQ(response.streamRead(response.stream, buffer, &count, &more), 1);
  EXPECT_EQ(std::string(buffer, count), "rld");
  EXPECT_EQ(more, 0);
  response.streamClose(response.stream);
  EXPECT_TRUE(closed);
  EXPECT_FALSE(deleted);
  response.release(&response);
  EXPECT_TRUE(deleted);
  EXPECT_TRUE(AllBytesZero(response));
}

}  // namespace
}  // namespace dul

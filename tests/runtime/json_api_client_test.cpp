#include "runtime/json_api_client.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "codecs/json_reader.h"
#include "runtime/allocation_counters.h"
#include "tests/support/scripted_request_plugin.h"

namespace json_api_test {
struct NeverRegistered {
  int number = 0;
};
}  // namespace json_api_test
DUL_BINDING_TYPE_NAME(struct, json_api_test::NeverRegistered)

namespace dul {
namespace {

using testing::ScriptedRequestPlugin;
using testing::ScriptedStream;
using Read = ScriptedStream::Read;

DulBindingValueRecord UnsignedRecord(std::uint64_t value) {
  DulBindingValueRecord record{};
  record.kind = 3;
  record.payload.unsigned64 = value;
  return record;
}

DulBindingValueRecord BorrowedTextRecord(const char* text) {
  DulBindingValueRecord record{};
  record.kind = 5;
  record.payload.span.data = text;
  record.payload.span.length = static_cast<std::uint32_t>(std::string(text).size());
  return record;
}

std::uint64_t LiveBlocks() {
  const AllocationStats stats = ReadAllocationStats();
  return stats.allocations - stats.frees;
}

struct MethodCase {
  const char* name;
  RequestMethod method;
  std::uint32_t sentCode;
  bool sendsMethodText;
  const char* message;
};

class JsonApiSentMethod : public ::testing::TestWithParam<MethodCase> {};

// Catches a request record with a wrong method code or text, stray arguments for a bodiless
// request, or an error answer reported without its status.
TEST_P(JsonApiSentMethod, EncodesTheMethodAndReportsTheStatus) {
  const MethodCase& method = GetParam();
  ScriptedRequestPlugin plugin;
  plugin.answer = [](DulHostResponseRecord& response) {
    response.body = UnsignedRecord(5);  // an error wins over a body
    response.errorText = "Service down";
    response.status = 503;
  };
  DulHostResponseRecord response{};
  const RequestOutcome outcome = SendRequest(plugin, response, method.method, "/a?b=1");
  ASSERT_EQ(plugin.requests.size(), 1u);
  const ScriptedRequestPlugin::SentRequest& sent = plugin.requests[0];
  EXPECT_EQ(sent.method, method.sentCode);
  EXPECT_EQ(sent.url, "/a?b=1");
  EXPECT_EQ(sent.argumentCount, 0u);
  EXPECT_EQ(sent.plugin, plugin.pluginHandle());
  EXPECT_EQ(sent.hasMethodText, method.sendsMethodText);
  EXPECT_EQ(sent.methodText, "");
  ASSERT_TRUE(outcome.has_value());
  EXPECT_EQ(outcome->code, 503);
  EXPECT_EQ(outcome->message, method.message);
}

INSTANTIATE_TEST_SUITE_P(
    JsonApiClient, JsonApiSentMethod,
    ::testing::Values(MethodCase{"Get", RequestMethod::kGet, 2, false,
                                 "Error response for GET /a?b=1: Service down"},
                      MethodCase{"Other", RequestMethod::kOther, 8, true,
                                 "Error response for  /a?b=1: Service down"},
                      MethodCase{"Unknown", static_cast<RequestMethod>(42), 0, false,
                                 "Error response for  /a?b=1: Service down"}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches arguments sent as several values or in another shape, and argument records left
// allocated after the host call.
TEST(JsonApiClient, ArgumentsTravelAsOneStructureFreedAfterTheCall) {
  ScriptedRequestPlugin plugin;
  plugin.requests.reserve(2);
  const RequestArguments arguments = {{"name", Zorv::BindingProperty("jungle")},
                                      {"count", Zorv::BindingProperty(3)}};
  ASSERT_FALSE(PostAndForget(plugin, RequestMethod::kPost, "/warm", arguments).has_value());
  plugin.requests.clear();
  const std::uint64_t before = LiveBlocks();
  ASSERT_FALSE(PostAndForget(plugin, RequestMethod::kPost, "/sets", arguments).has_value());
  ASSERT_EQ(plugin.requests.size(), 1u);
  EXPECT_EQ(plugin.requests[0].argumentCount, 1u);
  {
    Zorv::BindingProperty expected;
    expected.Member("name") = "jungle";
    expected.Member("count") = 3;
    EXPECT_EQ(plugin.requests[0].body, expected);
  }
  plugin.requests.clear();
  EXPECT_EQ(LiveBlocks(), before);
}

// Catches a body that fails to convert yet is sent, or fails with a code other than 400.
TEST(JsonApiClient, UnconvertibleBodyIsNeverSent) {
  ScriptedRequestPlugin plugin;
  DulHostResponseRecord response{};
  const RequestOutcome sent =
      SendRequest(plugin, response, RequestMethod::kPut, "/x", json_api_test::NeverRegistered{});
  const RequestResult<Zorv::BindingProperty> value = RequestValue<Zorv::BindingProperty>(
      plugin, RequestMethod::kPost, "/y", json_api_test::NeverRegistered{});
  EXPECT_TRUE(plugin.requests.empty());
  ASSERT_TRUE(sent.has_value());
  EXPECT_EQ(sent->code, 400);
  EXPECT_EQ(sent->message,
            "Request not sent: Error converting parameters for PUT /x: Couldn't convert native "
            "value because it's an unregistered structure.");
  ASSERT_FALSE(value.ok());
  EXPECT_EQ(value.error().code, 400);
  EXPECT_EQ(
      value.error().message.rfind("Request not sent: Error converting parameters for POST /y", 0),
      0u);
}

struct FailureCase {
  const char* name;
  DulBindingValueRecord body;
  const char* errorText;
  std::uint32_t status;
  std::string streamText;
  std::vector<Read> reads;  // none: the body is not streamed
  std::int32_t code;
  std::string messagePrefix;
};

class JsonApiTypedFailure : public ::testing::TestWithParam<FailureCase> {};

// Catches a failure reported with the wrong code or message, a stream left open, or a response
// released twice or not at all when reading or converting it fails.
TEST_P(JsonApiTypedFailure, ReportsTheErrorAndReleasesOnce) {
  const FailureCase& failure = GetParam();
  ScriptedRequestPlugin plugin;
  ScriptedStream stream(failure.streamText, failure.reads);
  plugin.answer = [&](DulHostResponseRecord& response) {
    response.body = failure.body;
    response.errorText = failure.errorText;
    response.status = failure.status;
    if (!failure.reads.empty())
      stream.Attach(response, failure.streamText.size());
    ScriptedRequestPlugin::CountReleases(response);
  };
  const RequestResult<std::int32_t> result =
      RequestValue<std::int32_t>(plugin, RequestMethod::kGet, "/champ/1");
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().code, failure.code);
  EXPECT_EQ(result.error().message.substr(0, failure.messagePrefix.size()), failure.messagePrefix)
      << result.error().message;
  EXPECT_EQ(ScriptedRequestPlugin::releaseCalls(), 1);
  EXPECT_EQ(stream.closeCalls, failure.reads.empty() ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    JsonApiClient, JsonApiTypedFailure,
    ::testing::Values(
        FailureCase{"ErrorWithBody",
                    UnsignedRecord(5),
                    "Gone",
                    410,
                    "",
                    {},
                    410,
                    "Error response for GET /champ/1: Gone"},
        FailureCase{"UnknownRecordKind",
                    DulBindingValueRecord{77, {}},
                    nullptr,
                    200,
                    "",
                    {},
                    0,
                    "Error converting response for GET /champ/1: Couldn't assign value to "
                    "'<result>' of type object because the input is of an incompatible type ''."},
        FailureCase{"NotTheRequestedType",
                    BorrowedTextRecord("abc"),
                    nullptr,
                    200,
                    "",
                    {},
                    0,
                    "Error converting response for GET /champ/1: "},
        FailureCase{"StreamReadFails",
                    {},
                    nullptr,
                    200,
                    "12",
                    {{1, 1}, {1, 1, false}},
                    0,
                    "Error reading streamed response for GET /champ/1: Stream read error"},
        FailureCase{"StreamOverstatesItsCount",
                    {},
                    nullptr,
                    200,
                    "1",
                    {{1, 1, true, 4096}},
                    0,
                    "Error reading streamed response for GET /champ/1: Stream read error"},
        FailureCase{"StreamNotJson",
                    {},
                    nullptr,
                    200,
                    "{x",
                    {{2, 0}},
                    0,
                    "Error reading streamed response for GET /champ/1: Error: "}),
    [](const auto& info) { return std::string(info.param.name); });

struct StreamCase {
  const char* name;
  std::string text;
  std::vector<Read> reads;
  std::size_t waitYields;
};

std::string JsonText(std::size_t bytes) {
  return "\"" + std::string(bytes - 2, 'a') + "\"";
}

class JsonApiStreamReading : public ::testing::TestWithParam<StreamCase> {};

// Catches chunks lost or repeated, reading past the end, yielding on full reads or not yielding
// while more data is pending.
TEST_P(JsonApiStreamReading, ReadsEveryChunkAndYieldsOnlyWhenWaiting) {
  const StreamCase& streamCase = GetParam();
  ScriptedRequestPlugin plugin;
  ScriptedStream stream(streamCase.text, streamCase.reads);
  plugin.answer = [&](DulHostResponseRecord& response) {
    stream.Attach(response, 10);  // smaller than the body: the text still grows to fit
    ScriptedRequestPlugin::CountReleases(response);
  };
  const RequestResult<Zorv::BindingProperty> result =
      RequestValue<Zorv::BindingProperty>(plugin, RequestMethod::kGet, "/stream");
  ASSERT_TRUE(result.ok()) << result.error().message;
  EXPECT_EQ(result.value(), Zorv::ParseJson(streamCase.text).value());
  EXPECT_EQ(stream.readCalls, static_cast<int>(streamCase.reads.size()));
  EXPECT_EQ(stream.closeCalls, 1);
  EXPECT_EQ(ScriptedRequestPlugin::releaseCalls(), 1);
  std::vector<std::string> expectedCalls;
  for (std::size_t i = 0; i < streamCase.waitYields; ++i)
    expectedCalls.insert(expectedCalls.end(), {"enterWait Wait: yield 0", "yield", "leaveWait"});
  EXPECT_EQ(plugin.hostCalls, expectedCalls);
}

INSTANTIATE_TEST_SUITE_P(
    JsonApiClient, JsonApiStreamReading,
    ::testing::Values(
        StreamCase{"TwoFullReadsThenTheRest", JsonText(8202), {{4096, 1}, {4096, 1}, {10, 0}}, 0},
        StreamCase{"FullReadWithoutMoreEnds", JsonText(4096), {{4096, 0}}, 0},
        StreamCase{"EmptyReadWithMoreWaits", "42", {{0, 1}, {2, 0}}, 1},
        StreamCase{"ShortReadsWithMoreWaitEachTime", "[1,2]", {{2, 1}, {2, 1}, {1, 0}}, 2}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches a reservation taken from the host's announced size as is: a huge announcement must not
// allocate gigabytes before a byte arrives.
TEST(JsonApiClient, HugeExpectedSizeIsNotReserved) {
  for (const std::uint64_t expected :
       {std::uint64_t{0xFFFFFFFF}, std::uint64_t{1} << 32, ~std::uint64_t{0}}) {
    ScriptedRequestPlugin plugin;
    ScriptedStream stream("7", {{1, 0}});
    plugin.answer = [&](DulHostResponseRecord& response) { stream.Attach(response, expected); };
    const std::uint64_t before = ReadAllocationStats().bytesAllocated;
    const RequestResult<std::int32_t> result =
        RequestValue<std::int32_t>(plugin, RequestMethod::kGet, "/big");
    EXPECT_LT(ReadAllocationStats().bytesAllocated - before, std::uint64_t{32} << 20) << expected;
    ASSERT_TRUE(result.ok()) << result.error().message;
    EXPECT_EQ(result.value(), 7);
  }
}

}  // namespace
}  // namespace dul

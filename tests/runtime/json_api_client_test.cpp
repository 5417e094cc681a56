#include "runtime/json_api_client.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "codecs/json_reader.h"
#include "foundation/allocation_counters.h"
#include "host/core/peer.h"
#include "tests/support/hosted_plugin.h"

namespace json_api_test {
struct NeverRegistered {
  int number = 0;
};
}  // namespace json_api_test
DUL_BINDING_TYPE_NAME(struct, json_api_test::NeverRegistered)

namespace dul {
namespace {

using host::PeerAnswer;
using host::PeerRequest;
using host::ScriptedPeer;
using host::StreamChunk;

// A plugin served by the test host, whose one peer answers every request through `answer`.
struct ClientFixture {
  ClientFixture() { hosted.host.AddPeer("/", peer); }
  PeerAnswer answer;
  std::shared_ptr<ScriptedPeer> peer =
      std::make_shared<ScriptedPeer>([this](const PeerRequest&) { return answer; });
  testing::HostedPlugin<> hosted;
  PluginBase& plugin = *hosted.plugin;
  const host::ResponseCounters& responses = hosted.host.responses();
};

std::uint64_t LiveBlocks() {
  const AllocationStats stats = ReadAllocationStats();
  return stats.allocations - stats.frees;
}

PeerAnswer ErrorWithBody(std::uint32_t status, std::string text) {
  PeerAnswer answer = PeerAnswer::Value(Zorv::BindingProperty(5), status);
  answer.errorText = std::move(text);
  return answer;
}

struct MethodCase {
  const char* name;
  RequestMethod method;
  std::uint32_t sentCode;
  const char* message;
};

class JsonApiSentMethod : public ::testing::TestWithParam<MethodCase> {};

// Catches a request record with a wrong method code or text, stray arguments for a bodiless
// request, or an error answer reported without its status.
TEST_P(JsonApiSentMethod, EncodesTheMethodAndReportsTheStatus) {
  const MethodCase& method = GetParam();
  ClientFixture client;
  client.answer = ErrorWithBody(503, "Service down");  // an error wins over a body
  DulHostResponseRecord response{};
  const RequestOutcome outcome = SendRequest(client.plugin, response, method.method, "/a?b=1");
  ReleaseResponse(response);
  ASSERT_EQ(client.peer->requests().size(), 1u);
  const PeerRequest& sent = client.peer->requests()[0];
  EXPECT_EQ(sent.method, method.sentCode);
  EXPECT_EQ(sent.methodName, "");
  EXPECT_EQ(sent.path, "/a");
  EXPECT_EQ(sent.query, "b=1");
  EXPECT_EQ(sent.body, "");
  EXPECT_EQ(sent.contentType, "");
  ASSERT_TRUE(outcome.has_value());
  EXPECT_EQ(outcome->code, 503);
  EXPECT_EQ(outcome->message, method.message);
  EXPECT_EQ(client.responses.live(), 0u);
}

INSTANTIATE_TEST_SUITE_P(JsonApiClient, JsonApiSentMethod,
                         ::testing::Values(MethodCase{"Other", RequestMethod::kOther, 8,
                                                      "Error response for  /a?b=1: Service down"},
                                           MethodCase{"Unknown", static_cast<RequestMethod>(42), 0,
                                                      "Error response for  /a?b=1: Service down"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches a GET sent with an argument, under another method, or reported without its status.
TEST(JsonApiClient, GetSendsNoArgumentAndReportsTheStatus) {
  ClientFixture client;
  client.answer = ErrorWithBody(503, "Service down");
  const RequestResult<std::int32_t> result =
      RequestValue<std::int32_t>(client.plugin, RequestMethod::kGet, "/a?b=1");
  ASSERT_EQ(client.peer->requests().size(), 1u);
  EXPECT_EQ(client.peer->requests()[0].methodName, "GET");
  EXPECT_EQ(client.peer->requests()[0].contentType, "");  // no argument
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().code, 503);
  EXPECT_EQ(result.error().message, "Error response for GET /a?b=1: Service down");
}

// Catches arguments sent as several values or in another shape, and argument records left
// allocated after the host call.
TEST(JsonApiClient, ArgumentsTravelAsOneStructureFreedAfterTheCall) {
  ClientFixture client;
  client.peer->requests().reserve(2);
  const RequestArguments arguments = {{"name", Zorv::BindingProperty("jungle")},
                                      {"count", Zorv::BindingProperty(3)}};
  ASSERT_FALSE(PostAndForget(client.plugin, RequestMethod::kPost, "/warm", arguments).has_value());
  client.peer->requests().clear();
  const std::uint64_t before = LiveBlocks();
  ASSERT_FALSE(PostAndForget(client.plugin, RequestMethod::kPost, "/sets", arguments).has_value());
  ASSERT_EQ(client.peer->requests().size(), 1u);
  EXPECT_EQ(client.peer->requests()[0].contentType, "application/json");
  EXPECT_EQ(client.peer->requests()[0].body, "{\"count\":3,\"name\":\"jungle\"}");
  client.peer->requests().clear();
  EXPECT_EQ(LiveBlocks(), before);
}

// Catches a body that fails to convert yet is sent, or fails with a code other than 400.
TEST(JsonApiClient, UnconvertibleBodyIsNeverSent) {
  ClientFixture client;
  DulHostResponseRecord response{};
  const RequestOutcome sent = SendRequest(client.plugin, response, RequestMethod::kPut, "/x",
                                          json_api_test::NeverRegistered{});
  const RequestResult<Zorv::BindingProperty> value = RequestValue<Zorv::BindingProperty>(
      client.plugin, RequestMethod::kPost, "/y", json_api_test::NeverRegistered{});
  EXPECT_EQ(client.hosted.host.calls().requests, 0u);
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

PeerAnswer Garbled() {
  PeerAnswer answer;
  answer.garbledKind = 77;
  return answer;
}

PeerAnswer Streamed(std::vector<StreamChunk> chunks) {
  return PeerAnswer::Streamed(std::move(chunks));
}

struct FailureCase {
  const char* name;
  PeerAnswer answer;
  std::int32_t code;
  std::string messagePrefix;
};

class JsonApiTypedFailure : public ::testing::TestWithParam<FailureCase> {};

// Catches a failure reported with the wrong code or message, a stream left open, or a response
// released twice or not at all when reading or converting it fails.
TEST_P(JsonApiTypedFailure, ReportsTheErrorAndReleasesOnce) {
  const FailureCase& failure = GetParam();
  ClientFixture client;
  client.answer = failure.answer;
  const RequestResult<std::int32_t> result =
      RequestValue<std::int32_t>(client.plugin, RequestMethod::kGet, "/champ/1");
  ASSERT_FALSE(result.ok());
  EXPECT_EQ(result.error().code, failure.code);
  EXPECT_EQ(result.error().message.substr(0, failure.messagePrefix.size()), failure.messagePrefix)
      << result.error().message;
  EXPECT_EQ(client.responses.released, 1u);
  EXPECT_EQ(client.responses.live(), 0u);
  EXPECT_EQ(client.responses.streamCloses, failure.answer.stream ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    JsonApiClient, JsonApiTypedFailure,
    ::testing::Values(
        FailureCase{"ErrorWithBody", ErrorWithBody(410, "Gone"), 410,
                    "Error response for GET /champ/1: Gone"},
        FailureCase{"UnknownRecordKind", Garbled(), 0,
                    "Error converting response for GET /champ/1: Couldn't assign value to "
                    "'<result>' of type object because the input is of an incompatible type ''."},
        FailureCase{"NotTheRequestedType", PeerAnswer::Value(Zorv::BindingProperty("abc")), 0,
                    "Error converting response for GET /champ/1: "},
        FailureCase{"StreamReadFails", Streamed({{"1"}, {"2", true}}), 0,
                    "Error reading streamed response for GET /champ/1: Stream read error"},
        FailureCase{"StreamOverstatesItsCount", Streamed({{"1", false, 4096}}), 0,
                    "Error reading streamed response for GET /champ/1: Stream read error"},
        FailureCase{"StreamNotJson", Streamed({{"{x"}}), 0,
                    "Error reading streamed response for GET /champ/1: Error: "}),
    [](const auto& info) { return std::string(info.param.name); });

struct StreamCase {
  const char* name;
  std::string text;
  std::vector<std::size_t> chunkSizes;
  std::uint64_t waitYields;
};

std::string JsonText(std::size_t bytes) {
  return "\"" + std::string(bytes - 2, 'a') + "\"";
}

class JsonApiStreamReading : public ::testing::TestWithParam<StreamCase> {};

// Catches chunks lost or repeated, reading past the end, yielding on full reads or not yielding
// while more data is pending.
TEST_P(JsonApiStreamReading, ReadsEveryChunkAndYieldsOnlyWhenWaiting) {
  const StreamCase& streamCase = GetParam();
  ClientFixture client;
  std::vector<StreamChunk> chunks;
  std::size_t offset = 0;
  for (const std::size_t size : streamCase.chunkSizes) {
    chunks.push_back(StreamChunk{streamCase.text.substr(offset, size)});
    offset += size;
  }
  client.answer = PeerAnswer::Streamed(chunks);
  client.answer.streamExpectedSize = 10;  // smaller than the body: the text still grows to fit
  const RequestResult<Zorv::BindingProperty> result =
      RequestValue<Zorv::BindingProperty>(client.plugin, RequestMethod::kGet, "/stream");
  ASSERT_TRUE(result.ok()) << result.error().message;
  EXPECT_EQ(result.value(), Zorv::ParseJson(streamCase.text).value());
  EXPECT_EQ(client.responses.streamReads, streamCase.chunkSizes.size());
  EXPECT_EQ(client.responses.streamCloses, 1u);
  EXPECT_EQ(client.responses.released, 1u);
  const host::HostCallCounts& calls = client.hosted.host.calls();
  EXPECT_EQ(calls.enterWaits, streamCase.waitYields);
  EXPECT_EQ(calls.yields, streamCase.waitYields);
  EXPECT_EQ(calls.leaveWaits, streamCase.waitYields);
  EXPECT_EQ(client.hosted.host.waitLabels(),
            std::vector<std::string>(streamCase.waitYields, "Wait: yield"));
}

INSTANTIATE_TEST_SUITE_P(
    JsonApiClient, JsonApiStreamReading,
    ::testing::Values(StreamCase{"TwoFullReadsThenTheRest", JsonText(8202), {4096, 4096, 10}, 0},
                      StreamCase{"FullReadWithoutMoreEnds", JsonText(4096), {4096}, 0},
                      StreamCase{"EmptyReadWithMoreWaits", "42", {0, 2}, 1},
                      StreamCase{"ShortReadsWithMoreWaitEachTime", "[1,2]", {2, 2, 1}, 2}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches a reservation taken from the host's announced size as is: a huge announcement must not
// allocate gigabytes before a byte arrives.
TEST(JsonApiClient, HugeExpectedSizeIsNotReserved) {
  for (const std::uint64_t expected :
       {std::uint64_t{0xFFFFFFFF}, std::uint64_t{1} << 32, ~std::uint64_t{0}}) {
    ClientFixture client;
    client.answer = PeerAnswer::Streamed({{"7"}});
    client.answer.streamExpectedSize = expected;
    const std::uint64_t before = ReadAllocationStats().bytesAllocated;
    const RequestResult<std::int32_t> result =
        RequestValue<std::int32_t>(client.plugin, RequestMethod::kGet, "/big");
    EXPECT_LT(ReadAllocationStats().bytesAllocated - before, std::uint64_t{32} << 20) << expected;
    ASSERT_TRUE(result.ok()) << result.error().message;
    EXPECT_EQ(result.value(), 7);
  }
}

}  // namespace
}  // namespace dul

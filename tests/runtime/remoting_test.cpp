#include "runtime/remoting.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "binding/binding_type_builder.h"
#include "binding/binding_type_registry.h"
#include "binding/binding_value_record.h"
#include "runtime/load_plugin.h"
#include "runtime/plugin_base.h"

namespace remoting_test {
struct ProbeSet {
  std::string name;
  std::vector<std::string> tags;
};
}  // namespace remoting_test

DUL_BINDING_TYPE_NAME(struct, remoting_test::ProbeSet)

namespace dul {
namespace {

using remoting_test::ProbeSet;

constexpr std::uint32_t kGet = 2, kHead = 3, kPost = 6, kPut = 7, kOther = 8;

struct Answer {
  std::uint32_t status = 0;
  std::optional<std::string> error;
  Zorv::BindingProperty body;
};

// Reads what the plugin filled, then releases it as the host would.
Answer Collect(DulHostResponseRecord& response) {
  Answer answer;
  answer.status = response.status;
  if (response.errorText != nullptr)
    answer.error = response.errorText;
  const DulBindingValueRecord body = response.body;
  Zorv::BindingResult read;
  Zorv::ReadValueRecord(read, body, "body");
  answer.body = read.TakeValue();
  if (response.release != nullptr)
    response.release(&response);
  return answer;
}

struct RequestText {
  RequestText(std::uint32_t method_, std::string url_, std::string body_ = {},
              std::string contentType_ = {}, const char* methodText_ = nullptr)
      : method(method_),
        url(std::move(url_)),
        body(std::move(body_)),
        contentType(std::move(contentType_)),
        methodText(methodText_) {}

  std::uint32_t method;
  std::string url;
  std::string body;  // none when empty
  std::string contentType;
  const char* methodText;
  // When set, the body travels as a text that carries no length (kind 5), this in its length word.
  std::optional<std::uint32_t> unmeasuredLengthWord;
};

// Codec messages end in the codec's own text: an expectation ending in ": " is a prefix.
void ExpectError(const Answer& answer, const std::string& expected) {
  ASSERT_TRUE(answer.error.has_value());
  if (expected.ends_with(": "))
    EXPECT_TRUE(answer.error->starts_with(expected)) << *answer.error;
  else
    EXPECT_EQ(*answer.error, expected);
}

DulHostResponseRecord Deliver(
    const RequestText& text,
    const std::function<void(DulHostResponseRecord*, const DulHostRequestRecord&)>& dispatch,
    std::uint32_t endpointIndex = 0) {
  DulRequestArgument argument{};
  DulHostRequestRecord request{};
  request.method = text.method;
  request.url = text.url.c_str();
  request.methodText = text.methodText;
  request.endpointIndex = endpointIndex;
  if (!text.body.empty()) {
    argument.value.kind = text.unmeasuredLengthWord ? 5 : 6;
    argument.value.payload.span.data = text.body.c_str();
    argument.value.payload.span.length =
        text.unmeasuredLengthWord.value_or(static_cast<std::uint32_t>(text.body.size()));
    request.arguments = &argument;
    request.argumentCount = 1;
  }
  request.contentType = text.contentType.c_str();
  request.contentTypeLength = static_cast<std::uint32_t>(text.contentType.size());
  DulHostResponseRecord response{};
  dispatch(&response, request);
  return response;
}

std::string JoinNumbers(const std::vector<std::int32_t>& numbers) {
  std::string joined;
  for (const std::int32_t number : numbers)
    joined += (joined.empty() ? "" : ",") + std::to_string(number);
  return joined;
}

class RemotingTest : public ::testing::Test {
 protected:
  RemotingTest() {
    (void)Zorv::BeginType<ProbeSet>(registry, "ProbeSet")
        .AddField("name", "", &ProbeSet::name)
        .AddField("tags", "", &ProbeSet::tags);
  }

  Answer Send(const RequestText& text) {
    DulHostResponseRecord response =
        Deliver(text, [this](DulHostResponseRecord* out, const DulHostRequestRecord& request) {
          remoting.Dispatch(out, request);
        });
    return Collect(response);
  }

  // A function that answers with its label and accepts any value for each named argument.
  static RemotingFunction Labelled(std::string label, std::vector<std::string> argumentNames) {
    RemotingFunction function;
    function.name = label;
    for (const std::string& name : argumentNames) {
      ArgumentDescriptor argument;
      argument.name = name;
      argument.nameHash = Fnv1a(name);
      argument.shape.kind = Zorv::BindingTypeKind::kObject;
      function.arguments.push_back(argument);
    }
    function.invoke = [label](auto, const auto&, const auto&) {
      CallResult call;
      call.result = label;
      return call;
    };
    return function;
  }

  Zorv::BindingTypeRegistry registry;
  std::vector<std::string> tags{"Plugins"};
  Remoting remoting{registry, tags};
};

struct BindCase {
  const char* label;
  std::string query;
  std::string expected;  // the handler's summary, or the error text
  bool fails;
};

class QueryBinding : public RemotingTest, public ::testing::WithParamInterface<BindCase> {};

// Catches wrong binding of query values: flags, empty values, sub-paths, sniffed codecs,
// percent-decoding of keys and values, and each binding message.
TEST_P(QueryBinding, BindsOrReportsTheMessage) {
  const BindCase& test = GetParam();
  remoting.AddRoute("/probe", RequestMethod::kGet,
                    MakeFunction("Probe",
                                 [](bool flag, std::int32_t count, ProbeSet set,
                                    std::vector<std::int32_t> list, const Zorv::BindingProperty&) {
                                   return "flag=" + std::to_string(flag) +
                                          " count=" + std::to_string(count) + " name=" + set.name +
                                          " list=" + JoinNumbers(list);
                                 },
                                 {Arg("flag"), Arg("count").Optional(), Arg("set").Optional(),
                                  QueryArg("list").Optional(), BodyArg("body").Optional()}));
  const Answer answer = Send({kGet, "/probe" + test.query});
  if (!test.fails) {
    EXPECT_EQ(answer.status, 200u);
    EXPECT_EQ(answer.body.GetString(), test.expected) << answer.error.value_or("");
    return;
  }
  EXPECT_EQ(answer.status, 400u);
  ExpectError(answer, test.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Remoting, QueryBinding,
    ::testing::Values(
        BindCase{"flag_absent_is_false", "", "flag=0 count=0 name= list=", false},
        BindCase{"bare_flag_is_true", "?flag", "flag=1 count=0 name= list=", false},
        BindCase{"empty_parts_skipped", "?&&flag&", "flag=1 count=0 name= list=", false},
        BindCase{"bare_int_needs_value", "?count", "Expected value for argument 'count'.", true},
        BindCase{"later_value_wins", "?count=7&count=8", "flag=0 count=8 name= list=", false},
        BindCase{"key_is_decoded", "?c%6Funt=3", "flag=0 count=3 name= list=", false},
        BindCase{"member_sub_path", "?set.name=a+b%21", "flag=0 count=0 name=a b! list=", false},
        BindCase{"sniffed_json", "?set=%20%7B%22name%22%3A%22j%22%7D",
                 "flag=0 count=0 name=j list=", false},
        BindCase{"sniffed_yaml", "?set=---%0Aname%3A%20yam",
                 "flag=0 count=0 name=yam list=", false},
        BindCase{"sniffed_msgpack", "?set=%81%A4name%A1m", "flag=0 count=0 name=m list=", false},
        BindCase{"msgpack_trailing_bytes", "?set=%81%A4name%A1m%C0",
                 "Extra MessagePack data found in argument 'set' of 'Probe'", true},
        BindCase{"element_sub_path", "?list=%5B1%2C2%5D&list.1=5", "flag=0 count=0 name= list=1,5",
                 false},
        BindCase{"element_beyond_end", "?list=%5B1%5D&list.1=5", "Index 1 is out of range", true},
        BindCase{"element_not_a_number", "?list.x=1", "Index x is in an incorrect format", true},
        BindCase{"unknown_argument", "?bogus=1", "Unknown argument 'bogus' for 'Probe'.", true},
        BindCase{"body_argument_in_query", "?body=1",
                 "Argument 'body' for 'Probe' was specified in an invalid location.", true},
        BindCase{"conversion_failure", "?count=abc",
                 "Value abc for 'count' of type int32 is in an incorrect format", true},
        BindCase{"undecodable_json", "?set=%7B",
                 "Couldn't deserialize JSON value for parameter 'set' of 'Probe': ", true}),
    [](const ::testing::TestParamInfo<BindCase>& info) { return std::string(info.param.label); });

struct BodyCase {
  const char* label;
  std::string contentType;
  std::string body;
  std::string expected;
  bool fails;
};

class BodyBinding : public RemotingTest, public ::testing::WithParamInterface<BodyCase> {};

// Catches a body read with the wrong codec, a content type compared case-sensitively or in full,
// trailing MessagePack bytes dropped silently, and the body's messages.
TEST_P(BodyBinding, DecodesByContentType) {
  const BodyCase& test = GetParam();
  remoting.AddRoute("/sets/{id}", RequestMethod::kPut,
                    MakeFunction("Put",
                                 [](std::uint64_t id, ProbeSet set) {
                                   return "id=" + std::to_string(id) + " name=" + set.name;
                                 },
                                 {PathArg("id"), BodyArg("set")}));
  const Answer answer = Send({kPut, "/sets/7", test.body, test.contentType});
  if (!test.fails) {
    EXPECT_EQ(answer.body.GetString(), test.expected) << answer.error.value_or("");
    return;
  }
  ExpectError(answer, test.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Remoting, BodyBinding,
    ::testing::Values(
        BodyCase{"json", "application/json", R"({"name":"a"})", "id=7 name=a", false},
        BodyCase{"json_capitals_charset", "APPLICATION/JSON; charset=utf-8", R"({"name":"b"})",
                 "id=7 name=b", false},
        BodyCase{"json_api", "application/vnd.api+json", R"({"name":"c"})", "id=7 name=c", false},
        BodyCase{"yaml", "application/x-yaml", "name: yam\ntags: [t]\n", "id=7 name=yam", false},
        BodyCase{"msgpack", "application/x-msgpack", "\x81\xA4name\xA1m", "id=7 name=m", false},
        BodyCase{"msgpack_extra", "application/x-msgpack", "\x81\xA4name\xA1m\xC0",
                 "Extra MessgePack data found in body", true},
        BodyCase{"text_plain", "text/plain", "name", "Unsupported body content type", true},
        BodyCase{"no_content_type", "", "{}", "Unsupported body content type", true},
        BodyCase{"bad_json", "application/json", R"({"name":)",
                 "Couldn't deserialize JSON value for parameter 'set' of 'Put': ", true},
        BodyCase{"missing_body", "application/json", "",
                 "Couldn't assign value to 'set' of type ProbeSet because the input not a "
                 "structure.",
                 true}),
    [](const ::testing::TestParamInfo<BodyCase>& info) { return std::string(info.param.label); });

// Catches a text body that carries no length (kind 5) read with the record's length word instead
// of up to its terminator.
TEST_F(RemotingTest, ReadsUnmeasuredTextBodyToItsTerminator) {
  remoting.AddRoute("/sets", RequestMethod::kPut,
                    MakeFunction("Put", [](ProbeSet set) { return set.name; }, {BodyArg("set")}));
  for (const std::uint32_t lengthWord : {0u, 2u, 0xFFFFFFF0u}) {
    SCOPED_TRACE(lengthWord);
    RequestText text(kPut, "/sets", R"({"name":"whole"})", "application/json");
    text.unmeasuredLengthWord = lengthWord;
    EXPECT_EQ(Send(text).body.GetString(), "whole");
  }
}

// Catches path values bound undecoded or from a location the argument refuses.
TEST_F(RemotingTest, BindsDecodedPathValuesOnlyWherePermitted) {
  remoting.AddRoute("/echo/{text}", RequestMethod::kGet,
                    MakeFunction("Echo", [](std::string text) { return text; }, {PathArg("text")}));
  remoting.AddRoute(
      "/only-query/{id}", RequestMethod::kGet,
      MakeFunction("OnlyQuery", [](std::int32_t id) { return id; }, {QueryArg("id")}));
  EXPECT_EQ(Send({kGet, "/echo/a%2Fb+c%"}).body.GetString(), "a/b c%");
  const Answer refused = Send({kGet, "/only-query/5"});
  EXPECT_EQ(refused.status, 400u);
  EXPECT_EQ(refused.error, "Argument 'id' for 'OnlyQuery' was specified in an invalid location.");
}

// Catches a crash or a refusal on a path of 1 MiB.
TEST_F(RemotingTest, AnswersMebibytePath) {
  remoting.AddRoute(
      "/a/{x}", RequestMethod::kGet,
      MakeFunction("Size", [](std::string x) { return std::uint64_t{x.size()}; }, {PathArg("x")}));
  const std::string segment(1 << 20, 'q');
  EXPECT_EQ(Send({kGet, "/a/" + segment}).body.GetUnsigned(0), segment.size());
  EXPECT_EQ(Send({kGet, "/a/" + segment + "/"}).status, 404u);
}

// Catches percent-decoding that drops a short "%", misreads non-hex digits or keeps "+".
TEST(RemotingPercentDecode, DecodesEscapesAndKeepsMalformedOnes) {
  EXPECT_EQ(PercentDecode("a+b"), "a b");
  EXPECT_EQ(PercentDecode("%41%4a%4A"), "AJJ");
  EXPECT_EQ(PercentDecode("%"), "%");
  EXPECT_EQ(PercentDecode("x%4"), "x%4");
  EXPECT_EQ(PercentDecode("%zz%4g"), "%zz%4g");
  EXPECT_EQ(PercentDecode("%%41"), "%A");
  EXPECT_EQ(PercentDecode("%00"), std::string(1, '\0'));
}

// A plugin whose endpoints reach the host through the published table.
class RoutedPlugin : public PluginBase {
 public:
  void RegisterApi() override {
    remoting().AddRoute("/items/{id}", RequestMethod::kGet,
                        MakeFunction("GetItem", &RoutedPlugin::GetItem, this, {PathArg("id")}));
    RemotingFunction purge = MakeFunction("Purge", &RoutedPlugin::Purge, this);
    purge.methodText = "PURGE";
    remoting().AddRoute("/items", RequestMethod::kOther, std::move(purge));
  }
  std::string GetItem(std::uint64_t id) { return "item " + std::to_string(id); }
  void Purge() { throw std::runtime_error("purge failed"); }
};

// Catches a table that is not built after RegisterApi, an index out of range that is not refused,
// a request matched against another endpoint than the one named, and an exception escaping into
// the host.
TEST(RemotingEndpointTable, DispatchesByEndpointIndex) {
  auto* plugin = new RoutedPlugin();
  DulPluginHandshake handshake{18, 0, 0, nullptr, nullptr, nullptr, nullptr};
  LoadPlugin(*plugin, handshake, "dul-item-sets");
  const DulEndpointTable* table = handshake.endpointTable;
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->count, 2u);
  EXPECT_EQ(table->endpoints[0].method, 2u);
  EXPECT_STREQ(table->endpoints[0].pathTemplate, "/items/{id}");
  EXPECT_EQ(table->endpoints[0].methodText, nullptr);
  EXPECT_EQ(table->endpoints[1].method, 8u);
  EXPECT_STREQ(table->endpoints[1].methodText, "PURGE");
  EXPECT_EQ(plugin->remoting().route(0).function.tags,
            (std::vector<std::string>{"Plugins", "Plugin dul-item-sets"}));

  const auto send = [&](const RequestText& text, std::uint32_t index) {
    DulHostResponseRecord response = Deliver(
        text,
        [&](DulHostResponseRecord* out, const DulHostRequestRecord& request) {
          table->dispatch(table->plugin, out, &request);
        },
        index);
    return Collect(response);
  };
  EXPECT_EQ(send({kGet, "/items/42"}, 0).body.GetString(), "item 42");
  EXPECT_EQ(send({kGet, "/items"}, 0).error, "Invalid function");
  EXPECT_EQ(send({kGet, "/items/42"}, 2).error, "Invalid function");
  EXPECT_EQ(send({kGet, "/items/42"}, 2).status, 404u);
  const Answer thrown = send({kOther, "/items", "", "", "PURGE"}, 1);
  EXPECT_EQ(thrown.status, 500u);
  EXPECT_EQ(thrown.error, "Internal error");

  DulHostResponseRecord response{};
  table->dispatch(table->plugin, &response, nullptr);
  EXPECT_EQ(Collect(response).status, 404u);
  handshake.entryTable->destroy(handshake.plugin);
}

}  // namespace
}  // namespace dul

// Delivers fuzzed requests to the item-set routes through Remoting, as the host does. The input
// is four lines and a body:
//   method (GET, PUT, ... or any other text, sent as a named method; an empty line sends code 0)
//   URL (path and query)
//   content type
//   delivery: an endpoint digit ('0' to '3'; anything else dispatches over all routes), then the
//   body's record kind ('5' to '8'; anything else sends no body)
//   body bytes (the rest)
// Nothing may crash or leak, every answer has a status, a handler runs only for its own method
// and for a path of the resource's shape, and a summoner id written in decimal digits arrives
// as that number.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "binding/binding_type_registry.h"
#include "contract/host_contract.h"
#include "plugin/item_sets_api.h"
#include "runtime/argument_binding.h"
#include "runtime/remoting.h"
#include "tests/plugin/item_sets_test_plugin.h"

namespace {

using Zorv::Client::ItemSets::Api::ItemSet;
using Zorv::Client::ItemSets::Api::ItemSets;

constexpr std::string_view kTemplate = "/dul-item-sets/v1/item-sets/{summonerId}/sets";
constexpr std::string_view kPrefix = "/dul-item-sets/v1/item-sets/";
constexpr std::string_view kSuffix = "/sets";

// What the last handler saw.
struct Call {
  dul::RequestMethod method = dul::RequestMethod::kAny;
  std::uint64_t summonerId = 0;
};

// The plugin's three routes over its registered types, built once.
struct Fixture {
  Fixture() {
    remoting.AddRoute(kTemplate, dul::RequestMethod::kGet,
                      dul::MakeFunction("GetItemSets",
                                        [this](std::uint64_t summonerId) {
                                          Record(dul::RequestMethod::kGet, summonerId);
                                          return answer;
                                        },
                                        {dul::PathArg("summonerId")}));
    remoting.AddRoute(kTemplate, dul::RequestMethod::kPut,
                      dul::MakeFunction("PutItemSets",
                                        [this](std::uint64_t summonerId, ItemSets) {
                                          Record(dul::RequestMethod::kPut, summonerId);
                                        },
                                        {dul::PathArg("summonerId"), dul::BodyArg("itemSets")}));
    remoting.AddRoute(kTemplate, dul::RequestMethod::kPost,
                      dul::MakeFunction("PostItemSet",
                                        [this](std::uint64_t summonerId, ItemSet) {
                                          Record(dul::RequestMethod::kPost, summonerId);
                                        },
                                        {dul::PathArg("summonerId"), dul::BodyArg("itemSet")}));
    (void)remoting.PublishEndpointTable(nullptr, nullptr);
    answer.accountId = 7;
    answer.itemSets.push_back(ItemSet{.uid = "u", .title = "t", .blocks = {{.type = "Starters"}}});
  }

  void Record(dul::RequestMethod method, std::uint64_t summonerId) {
    call = Call{method, summonerId};
  }

  dul::testing::ItemSetTypesPlugin plugin;
  std::vector<std::string> tags{"Plugins"};
  dul::Remoting remoting{plugin.typeRegistry(), tags};
  ItemSets answer;
  std::optional<Call> call;
};

std::string_view TakeLine(std::string_view& input) {
  const std::size_t end = input.find('\n');
  const std::string_view line = input.substr(0, end);
  input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
  return line;
}

std::uint32_t MethodCodeOf(std::string_view name) {
  static constexpr std::string_view kNames[] = {"DELETE", "GET",  "HEAD", "OPTIONS",
                                                "PATCH",  "POST", "PUT"};
  if (name.empty())
    return 0;
  for (std::uint32_t i = 0; i < std::size(kNames); ++i) {
    if (name == kNames[i])
      return i + 1;
  }
  return dul::MethodCode(dul::RequestMethod::kOther);
}

// The summoner id a capture of plain decimal digits (after percent-decoding) must give; a leading
// "0" reads as octal (binding/number_text.h), so such a capture is left out.
std::optional<std::uint64_t> PlainDigits(std::string_view path) {
  if (path.size() < kPrefix.size() + kSuffix.size())
    return std::nullopt;
  const std::string capture = dul::PercentDecode(
      path.substr(kPrefix.size(), path.size() - kPrefix.size() - kSuffix.size()));
  std::uint64_t value = 0;
  const char* end = capture.data() + capture.size();
  const auto [stop, error] = std::from_chars(capture.data(), end, value);
  if (capture.empty() || (capture[0] == '0' && capture.size() > 1) || error != std::errc() ||
      stop != end)
    return std::nullopt;
  return value;
}

void Check(const Fixture& fixture, std::uint32_t method, std::string_view url) {
  if (!fixture.call)
    return;
  const std::string_view path = url.substr(0, url.find('?'));
  if (dul::MethodCode(fixture.call->method) != method || !path.starts_with(kPrefix) ||
      !path.ends_with(kSuffix) || path.size() < kPrefix.size() + kSuffix.size())
    __builtin_trap();
  const std::optional<std::uint64_t> digits = PlainDigits(path);
  if (digits && *digits != fixture.call->summonerId)
    __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Fixture fixture;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  // Every text the record points at is a terminated copy of its own.
  const std::string methodText(TakeLine(input));
  const std::string url(TakeLine(input));
  const std::string contentType(TakeLine(input));
  const std::string delivery(TakeLine(input));
  const std::string body(input);

  DulRequestArgument argument{};
  DulHostRequestRecord request{};
  request.method = MethodCodeOf(methodText);
  request.methodText = request.method == 8 ? methodText.c_str() : nullptr;
  request.url = url.c_str();
  request.contentType = contentType.c_str();
  request.contentTypeLength = static_cast<std::uint32_t>(contentType.size());
  const char bodyKind = delivery.size() > 1 ? delivery[1] : '0';
  if (bodyKind >= '5' && bodyKind <= '8') {
    argument.value.kind = static_cast<std::uint32_t>(bodyKind - '0');
    argument.value.payload.span.data = body.c_str();
    argument.value.payload.span.length = static_cast<std::uint32_t>(body.size());
    request.arguments = &argument;
    request.argumentCount = 1;
  }

  fixture.call.reset();
  DulHostResponseRecord response{};
  const bool toEndpoint = !delivery.empty() && delivery[0] >= '0' && delivery[0] <= '3';
  if (toEndpoint) {
    request.endpointIndex = static_cast<std::uint32_t>(delivery[0] - '0');
    fixture.remoting.DispatchEndpoint(&response, &request);
  } else {
    fixture.remoting.Dispatch(&response, request);
  }
  if (response.status == 0 || (fixture.call.has_value() != (response.errorText == nullptr)))
    __builtin_trap();
  Check(fixture, request.method, request.url);  // the URL as the record gives it, to its NUL
  if (response.release != nullptr)
    response.release(&response);
  return 0;
}

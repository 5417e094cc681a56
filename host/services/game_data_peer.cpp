#include "host/services/game_data_peer.h"

#include <charconv>
#include <optional>
#include <string>
#include <string_view>

#include "host/services/service_answers.h"

namespace dul::host {
namespace {

// The id of "{id}.json": decimal, an optional "-" first, nothing else.
std::optional<std::int64_t> ChampionId(std::string_view file) {
  constexpr std::string_view kSuffix = ".json";
  if (file.size() <= kSuffix.size() || !file.ends_with(kSuffix))
    return std::nullopt;
  const std::string_view digits = file.substr(0, file.size() - kSuffix.size());
  if (digits.front() == '+')
    return std::nullopt;
  std::int64_t id = 0;
  const auto [end, failure] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
  if (failure != std::errc() || end != digits.data() + digits.size())
    return std::nullopt;
  return id;
}

}  // namespace

PeerAnswer GameDataPeer::Answer(const PeerRequest& request) {
  if (request.path == kChampionSummaryPath) {
    return request.methodName == "GET" ? PeerAnswer::Json(catalogue_.Summary())
                                       : MethodNotAllowed(request, "GET");
  }
  std::string_view file;
  if (!SplitPath(request.path, kChampionsPath, file) || file.find('/') != std::string_view::npos)
    return NotFound(request);
  if (request.methodName != "GET")
    return MethodNotAllowed(request, "GET");
  const std::optional<std::int64_t> id = ChampionId(file);
  const std::string* record = id ? catalogue_.Find(*id) : nullptr;
  if (record == nullptr)
    return PeerAnswer::Error(404, "No champion record " + std::string(file));
  return PeerAnswer::StreamedJson(*record, kChampionChunkSize);
}

}  // namespace dul::host

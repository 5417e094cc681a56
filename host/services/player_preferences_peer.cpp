#include "host/services/player_preferences_peer.h"

#include <algorithm>
#include <utility>

#include "host/services/service_answers.h"

namespace dul::host {
namespace {

using Zorv::BindingProperty;
using Zorv::BindingPropertyKind;

constexpr const char* kCreateTable =
    "CREATE TABLE IF NOT EXISTS preferences (account_id INTEGER NOT NULL, type TEXT NOT NULL, "
    "data TEXT NOT NULL, modified INTEGER NOT NULL, PRIMARY KEY (account_id, type))";
constexpr const char* kSelectLast = "SELECT MAX(modified) FROM preferences";
constexpr const char* kSelect =
    "SELECT data, modified FROM preferences WHERE account_id = ?1 AND type = ?2";
constexpr const char* kExists = "SELECT 1 FROM preferences WHERE account_id = ?1 AND type = ?2";
constexpr const char* kUpsert =
    "INSERT INTO preferences (account_id, type, data, modified) VALUES (?1, ?2, ?3, ?4) "
    "ON CONFLICT (account_id, type) DO UPDATE SET data = excluded.data, "
    "modified = excluded.modified";

// SQLite integers are signed 64-bit; account ids and versions travel through them bit for bit.
SqliteValue Integer(std::uint64_t value) {
  return static_cast<std::int64_t>(value);
}

BindingProperty StoredCopy(std::string data, std::uint64_t modified, const std::string& type) {
  BindingProperty copy;
  copy.Member("data") = data;
  copy.Member("modified") = modified;
  copy.Member("type") = type;
  return copy;
}

// A type names one document and ends the GET path: non-empty and without "/".
bool ValidType(std::string_view type) {
  return !type.empty() && type.find('/') == std::string_view::npos;
}

}  // namespace

std::shared_ptr<PlayerPreferencesPeer> PlayerPreferencesPeer::Open(
    std::shared_ptr<SqliteDatabase> database, SignedInAccount account, WallClock clock,
    std::shared_ptr<ResourceEventPublisher> publisher, std::string& error) {
  std::optional<std::vector<SqliteRow>> last;
  if (database->Run(kCreateTable, {}, error))
    last = database->Run(kSelectLast, {}, error);
  if (!last) {
    error = "Cannot prepare the preferences store: " + error;
    return nullptr;
  }
  const std::int64_t lastModified = last->empty() ? 0 : IntegerOf(last->front().front());
  return std::shared_ptr<PlayerPreferencesPeer>(
      new PlayerPreferencesPeer(std::move(database), std::move(account), std::move(clock),
                                std::move(publisher), static_cast<std::uint64_t>(lastModified)));
}

PlayerPreferencesPeer::PlayerPreferencesPeer(std::shared_ptr<SqliteDatabase> database,
                                             SignedInAccount account, WallClock clock,
                                             std::shared_ptr<ResourceEventPublisher> publisher,
                                             std::uint64_t lastModified)
    : database_(std::move(database)),
      account_(std::move(account)),
      clock_(std::move(clock)),
      publisher_(std::move(publisher)),
      lastModified_(lastModified) {}

PeerAnswer PlayerPreferencesPeer::Answer(const PeerRequest& request) {
  std::string_view type;
  const bool isDocument = SplitPath(request.path, std::string(kPreferencePath) + "/", type);
  if (!isDocument && request.path != kPreferencePath)
    return NotFound(request);
  const std::string_view allowed = isDocument ? "GET" : "PUT";
  if (request.methodName != allowed)
    return MethodNotAllowed(request, allowed);
  const std::optional<std::uint64_t> account = account_();
  if (!account) {
    return PeerAnswer::Error(
        403,
        "No account is signed in: player preferences need a login session in state "
        "SUCCEEDED with a non-zero accountId");
  }
  return isDocument ? Get(*account, std::string(type)) : Put(*account, request);
}

PeerAnswer PlayerPreferencesPeer::Get(std::uint64_t account, const std::string& type) {
  std::string error;
  const std::optional<std::vector<SqliteRow>> rows =
      database_->Run(kSelect, {Integer(account), type}, error);
  if (!rows)
    return PeerAnswer::Error(500, "Cannot read the preferences store: " + error);
  if (rows->empty()) {
    return PeerAnswer::Error(
        404, "No " + type + " preferences stored for account " + std::to_string(account));
  }
  const SqliteRow& row = rows->front();
  return PeerAnswer::Value(
      StoredCopy(TextOf(row[0]), static_cast<std::uint64_t>(IntegerOf(row[1])), type));
}

PeerAnswer PlayerPreferencesPeer::Put(std::uint64_t account, const PeerRequest& request) {
  std::string error;
  const std::optional<BindingProperty> body = ReadJsonBody(request, error);
  if (!body)
    return BadRequest(std::move(error));
  const BindingProperty& data = body->Find("data");
  const std::string type(body->Find("type").GetString());
  if (data.Kind() != BindingPropertyKind::kString || !ValidType(type)) {
    return BadRequest(
        "A preference is an object with a text \"data\" and a non-empty \"type\" without \"/\"");
  }
  const std::optional<std::vector<SqliteRow>> existing =
      database_->Run(kExists, {Integer(account), type}, error);
  const std::uint64_t modified = NextModified();
  const std::string text(data.GetString());
  if (!existing ||
      !database_->Run(kUpsert, {Integer(account), type, text, Integer(modified)}, error)) {
    return PeerAnswer::Error(500, "Cannot write the preferences store: " + error);
  }
  lastModified_ = modified;
  publisher_->Publish(std::string(kPreferencePath) + "/" + type,
                      existing->empty() ? ResourceEventType::Create : ResourceEventType::Update,
                      StoredCopy(text, modified, type));
  BindingProperty answer;
  answer.Member("modified") = modified;
  return PeerAnswer::Value(std::move(answer));
}

std::uint64_t PlayerPreferencesPeer::NextModified() const {
  const std::int64_t now = clock_();
  const std::uint64_t candidate = now > 0 ? static_cast<std::uint64_t>(now) : 0;
  return std::max(candidate, lastModified_ + 1);
}

}  // namespace dul::host

#include "host/services/telemetry_recorder_peer.h"

#include <utility>

#include "binding/binding_result.h"
#include "codecs/json_reader.h"
#include "codecs/json_writer.h"
#include "host/services/service_answers.h"

namespace dul::host {
namespace {

using Zorv::BindingProperty;
using Zorv::BindingPropertyKind;

constexpr const char* kCreateTable =
    "CREATE TABLE IF NOT EXISTS telemetry_events (sequence INTEGER PRIMARY KEY AUTOINCREMENT, "
    "name TEXT NOT NULL, time TEXT NOT NULL, data TEXT NOT NULL)";
constexpr const char* kInsert =
    "INSERT INTO telemetry_events (name, time, data) VALUES (?1, ?2, ?3)";
// Keeps the newest events within ?1 events and ?2 bytes of name and data; the newest one stays
// whatever its size.
constexpr const char* kDropOldest =
    "DELETE FROM telemetry_events WHERE sequence < COALESCE((SELECT sequence FROM (SELECT "
    "sequence, COUNT(*) OVER newest AS kept, SUM(LENGTH(name) + LENGTH(data)) OVER newest AS "
    "bytes FROM telemetry_events WINDOW newest AS (ORDER BY sequence DESC)) WHERE kept <= ?1 AND "
    "bytes <= ?2 ORDER BY sequence LIMIT 1), (SELECT MAX(sequence) FROM telemetry_events))";
constexpr const char* kSelectAll =
    "SELECT name, time, data FROM telemetry_events ORDER BY sequence";

// The metrics with every value as text.
BindingProperty MetricTexts(const BindingProperty& body) {
  BindingProperty metrics;
  metrics.SetStructure();
  for (const auto& [name, value] : body.Members()) {
    metrics.Member(name) = value.Kind() == BindingPropertyKind::kString
                               ? std::string(value.GetString())
                               : Zorv::WriteJson(value, nullptr, nullptr);
  }
  return metrics;
}

BindingProperty Entry(std::string_view name, std::string_view time, BindingProperty data) {
  BindingProperty entry;
  entry.Member("data") = std::move(data);
  entry.Member("name") = name;
  entry.Member("time") = time;
  return entry;
}

}  // namespace

std::shared_ptr<TelemetryRecorderPeer> TelemetryRecorderPeer::Open(
    std::shared_ptr<SqliteDatabase> database, WallClock clock,
    std::shared_ptr<ResourceEventPublisher> publisher, std::string& error) {
  if (!database->Run(kCreateTable, {}, error)) {
    error = "Cannot prepare the telemetry log: " + error;
    return nullptr;
  }
  return std::shared_ptr<TelemetryRecorderPeer>(
      new TelemetryRecorderPeer(std::move(database), std::move(clock), std::move(publisher)));
}

TelemetryRecorderPeer::TelemetryRecorderPeer(std::shared_ptr<SqliteDatabase> database,
                                             WallClock clock,
                                             std::shared_ptr<ResourceEventPublisher> publisher)
    : database_(std::move(database)), clock_(std::move(clock)), publisher_(std::move(publisher)) {}

PeerAnswer TelemetryRecorderPeer::Answer(const PeerRequest& request) {
  std::string_view name;
  if (request.path == kTelemetryEventsPath) {
    return request.methodName == "GET" ? List() : MethodNotAllowed(request, "GET");
  }
  if (!SplitPath(request.path, std::string(kTelemetryEventsPath) + "/", name))
    return NotFound(request);
  if (request.methodName != "POST")
    return MethodNotAllowed(request, "POST");
  return Record(request, std::string(name));
}

PeerAnswer TelemetryRecorderPeer::Record(const PeerRequest& request, const std::string& name) {
  std::string error;
  const std::optional<BindingProperty> body = ReadJsonBody(request, error);
  if (body && body->Kind() != BindingPropertyKind::kStructure)
    error = "A telemetry event is a JSON object of metrics";
  if (!body || !error.empty())
    return BadRequest(std::move(error));
  BindingProperty metrics = MetricTexts(*body);
  const std::string time = FormatUtcTime(clock_());
  if (!database_->Run(kInsert, {name, time, Zorv::WriteJson(metrics, nullptr, nullptr)}, error))
    return PeerAnswer::Error(500, "Cannot write the telemetry log: " + error);
  const std::vector<SqliteValue> limits = {static_cast<std::int64_t>(kTelemetryEventsKept),
                                           static_cast<std::int64_t>(kTelemetryBytesKept)};
  if (!database_->Run(kDropOldest, limits, error))
    return PeerAnswer::Error(500, "Cannot trim the telemetry log: " + error);
  BindingProperty entry = Entry(name, time, std::move(metrics));
  publisher_->Publish(request.path, ResourceEventType::Create, entry);
  return PeerAnswer::Value(std::move(entry));
}

PeerAnswer TelemetryRecorderPeer::List() {
  std::string error;
  const std::optional<std::vector<SqliteRow>> rows = database_->Run(kSelectAll, {}, error);
  if (!rows)
    return PeerAnswer::Error(500, "Cannot read the telemetry log: " + error);
  BindingProperty list;
  list.SetCollection();
  for (const SqliteRow& row : *rows) {
    Zorv::BindingResult data = Zorv::ParseJson(TextOf(row[2]));
    list.PushBack() =
        Entry(TextOf(row[0]), TextOf(row[1]), data.ok() ? data.TakeValue() : BindingProperty());
  }
  return PeerAnswer::Value(std::move(list));
}

}  // namespace dul::host

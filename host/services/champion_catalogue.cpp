#include "host/services/champion_catalogue.h"

#include <limits>
#include <utility>

#include "binding/binding_result.h"
#include "codecs/json_reader.h"
#include "codecs/json_writer.h"
#include "platform/file_system.h"

namespace dul::host {
namespace {

using Zorv::BindingProperty;
using Zorv::BindingPropertyKind;

std::optional<std::int64_t> ReadId(const BindingProperty& id) {
  if (id.Kind() == BindingPropertyKind::kSigned)
    return id.GetSigned(0);
  if (id.Kind() == BindingPropertyKind::kUnsigned &&
      id.GetUnsigned(0) <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
    return static_cast<std::int64_t>(id.GetUnsigned(0));
  return std::nullopt;
}

// Checks one record; the fault, or empty when it is sound.
std::string CheckRecord(const BindingProperty& record) {
  if (record.Kind() != BindingPropertyKind::kStructure)
    return "a record is not an object";
  if (!ReadId(record.Find("id")))
    return "a record's \"id\" is not an integer";
  if (record.Find("alias").Kind() != BindingPropertyKind::kString ||
      record.Find("alias").GetString().empty())
    return "a record's \"alias\" is not a non-empty text";
  if (record.Find("name").Kind() != BindingPropertyKind::kString)
    return "a record's \"name\" is not a text";
  return {};
}

}  // namespace

std::optional<ChampionCatalogue> ChampionCatalogue::Load(const std::string& path,
                                                         std::string& error) {
  const std::optional<std::string> text = platform::ReadWholeFile(path);
  if (!text) {
    error = "Cannot read the champion records " + path;
    return std::nullopt;
  }
  return Parse(*text, path, error);
}

std::optional<ChampionCatalogue> ChampionCatalogue::Parse(const std::string& json,
                                                          const std::string& source,
                                                          std::string& error) {
  Zorv::BindingResult parsed = Zorv::ParseJson(json);
  if (!parsed.ok() || parsed.value().Kind() != BindingPropertyKind::kCollection) {
    error = source + ": not a JSON array of champion records" +
            (parsed.ok() ? "" : ": " + std::string(parsed.ErrorText()));
    return std::nullopt;
  }
  ChampionCatalogue catalogue;
  for (const BindingProperty& record : parsed.value().Elements()) {
    std::string fault = CheckRecord(record);
    const std::int64_t id = ReadId(record.Find("id")).value_or(0);
    if (fault.empty() && catalogue.records_.count(id) != 0)
      fault = "id " + std::to_string(id) + " appears twice";
    if (!fault.empty()) {
      error = source + ": " + fault;
      return std::nullopt;
    }
    catalogue.records_.emplace(id, Zorv::WriteJson(record, nullptr, nullptr));
  }
  return catalogue;
}

const std::string* ChampionCatalogue::Find(std::int64_t id) const {
  const auto found = records_.find(id);
  return found != records_.end() ? &found->second : nullptr;
}

std::string ChampionCatalogue::Summary() const {
  std::string summary = "[";
  for (const auto& [id, record] : records_) {
    if (summary.size() > 1)
      summary += ',';
    summary += record;
  }
  return summary + "]";
}

}  // namespace dul::host

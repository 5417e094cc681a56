// ChampionCatalogue: the champion records the game-data service serves, read from a JSON file
// that holds an array of objects, each with an integer "id", a non-empty text "alias" and a text
// "name" (other members are kept and served as they are).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace dul::host {

class ChampionCatalogue {
 public:
  // Reads the file; nothing, with `error` naming the file and the fault, when it cannot be read,
  // is not such an array, or names an id twice.
  static std::optional<ChampionCatalogue> Load(const std::string& path, std::string& error);
  // Reads the same from JSON text; `source` names it in errors.
  static std::optional<ChampionCatalogue> Parse(const std::string& json, const std::string& source,
                                                std::string& error);

  // The record of `id` as compact JSON, or null.
  const std::string* Find(std::int64_t id) const;
  // Every record, in id order, as one compact JSON array.
  std::string Summary() const;
  std::size_t size() const { return records_.size(); }

 private:
  std::map<std::int64_t, std::string> records_;
};

}  // namespace dul::host

// SqliteDatabase: one connection to an SQLite file, for the simulated services' stores. Each
// statement runs on its own (autocommit), so what it wrote survives the process once it returns.
//
//   std::unique_ptr<SqliteDatabase> db = SqliteDatabase::Open(path, error);
//   auto rows = db->Run("SELECT data FROM t WHERE id = ?1", {std::int64_t{7}}, error);
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct sqlite3;

namespace dul::host {

// A column or parameter: an integer or a text. NULL columns read as the integer 0.
using SqliteValue = std::variant<std::int64_t, std::string>;
using SqliteRow = std::vector<SqliteValue>;

class SqliteDatabase {
 public:
  // Opens or creates the file; nothing, with SQLite's message in `error`, on failure.
  static std::unique_ptr<SqliteDatabase> Open(const std::string& path, std::string& error);
  ~SqliteDatabase();
  SqliteDatabase(const SqliteDatabase&) = delete;
  SqliteDatabase& operator=(const SqliteDatabase&) = delete;

  // Runs one statement with `parameters` bound to ?1, ?2, ... and returns its rows; nothing, with
  // SQLite's message in `error`, when it fails.
  std::optional<std::vector<SqliteRow>> Run(std::string_view sql,
                                            const std::vector<SqliteValue>& parameters,
                                            std::string& error);

 private:
  explicit SqliteDatabase(sqlite3* handle) : handle_(handle) {}
  sqlite3* handle_;
};

// The column as an integer (0 for a text) or as a text (empty for an integer).
std::int64_t IntegerOf(const SqliteValue& value);
std::string TextOf(const SqliteValue& value);

}  // namespace dul::host

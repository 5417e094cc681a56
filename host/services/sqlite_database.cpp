#include "host/services/sqlite_database.h"

#include <sqlite3.h>

namespace dul::host {
namespace {

constexpr int kBusyTimeoutMilliseconds = 2000;

// Finalizes the statement when the run ends, however it ends.
struct StatementGuard {
  sqlite3_stmt* statement = nullptr;
  ~StatementGuard() { sqlite3_finalize(statement); }
};

bool Bind(sqlite3_stmt* statement, const std::vector<SqliteValue>& parameters) {
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    const int index = static_cast<int>(i + 1);
    const int result =
        std::holds_alternative<std::int64_t>(parameters[i])
            ? sqlite3_bind_int64(statement, index, std::get<std::int64_t>(parameters[i]))
            : sqlite3_bind_text64(statement, index, std::get<std::string>(parameters[i]).data(),
                                  std::get<std::string>(parameters[i]).size(), SQLITE_TRANSIENT,
                                  SQLITE_UTF8);
    if (result != SQLITE_OK)
      return false;
  }
  return true;
}

SqliteRow ReadRow(sqlite3_stmt* statement) {
  SqliteRow row;
  const int columns = sqlite3_column_count(statement);
  for (int column = 0; column < columns; ++column) {
    if (sqlite3_column_type(statement, column) == SQLITE_TEXT) {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
      row.emplace_back(std::string(text, sqlite3_column_bytes(statement, column)));
    } else {
      row.emplace_back(static_cast<std::int64_t>(sqlite3_column_int64(statement, column)));
    }
  }
  return row;
}

}  // namespace

std::unique_ptr<SqliteDatabase> SqliteDatabase::Open(const std::string& path, std::string& error) {
  sqlite3* handle = nullptr;
  const int result =
      sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (result != SQLITE_OK) {
    error = "Cannot open " + path + ": " +
            (handle != nullptr ? sqlite3_errmsg(handle) : sqlite3_errstr(result));
    sqlite3_close(handle);
    return nullptr;
  }
  sqlite3_busy_timeout(handle, kBusyTimeoutMilliseconds);
  return std::unique_ptr<SqliteDatabase>(new SqliteDatabase(handle));
}

SqliteDatabase::~SqliteDatabase() {
  sqlite3_close(handle_);
}

std::optional<std::vector<SqliteRow>> SqliteDatabase::Run(
    std::string_view sql, const std::vector<SqliteValue>& parameters, std::string& error) {
  StatementGuard guard;
  if (sqlite3_prepare_v2(handle_, sql.data(), static_cast<int>(sql.size()), &guard.statement,
                         nullptr) != SQLITE_OK ||
      !Bind(guard.statement, parameters)) {
    error = sqlite3_errmsg(handle_);
    return std::nullopt;
  }
  std::vector<SqliteRow> rows;
  for (;;) {
    const int step = sqlite3_step(guard.statement);
    if (step == SQLITE_DONE)
      return rows;
    if (step != SQLITE_ROW) {
      error = sqlite3_errmsg(handle_);
      return std::nullopt;
    }
    rows.push_back(ReadRow(guard.statement));
  }
}

std::int64_t IntegerOf(const SqliteValue& value) {
  return std::holds_alternative<std::int64_t>(value) ? std::get<std::int64_t>(value) : 0;
}

std::string TextOf(const SqliteValue& value) {
  return std::holds_alternative<std::string>(value) ? std::get<std::string>(value) : std::string();
}

}  // namespace dul::host

// DulHostProcess: dul-host started as a child process on a free port in a state directory of
// its own, driven over HTTP only. The port and token come from the host.json it writes.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "binding/binding_result.h"
#include "codecs/json_reader.h"
#include "host/app/host_record.h"
#include "platform/child_process.h"
#include "platform/process.h"
#include "tests/support/temporary_tree.h"

namespace dul::testing {

inline std::string ReadFileText(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

class DulHostProcess {
 public:
  // Starts dul-host with `arguments` after the state directory and port, and waits for its
  // host.json; `expectListening` false for a start that must fail.
  DulHostProcess(const std::filesystem::path& stateDirectory, std::vector<std::string> arguments,
                 bool expectListening = true)
      : state_(stateDirectory) {
    // A request the host refuses early (401 before a large body) closes the socket under the
    // client's write: that must fail the write, not end the test process.
    platform::IgnoreBrokenPipes();
    arguments.insert(arguments.begin(), {"--state", state_.string(), "--port", "0"});
    EXPECT_TRUE(process_.Start(DUL_HOST_EXECUTABLE, arguments, {}, output_.string()));
    if (expectListening)
      WaitForRecord();
  }

  const host::HostRecord& record() const { return record_; }
  platform::ChildProcess& process() { return process_; }
  const std::filesystem::path& state() const { return state_; }
  // What the host printed so far, its standard output and error together.
  std::string output() const { return ReadFileText(output_); }
  std::filesystem::path configDirectory() const { return state_ / "install/Game/Config"; }

  // A client with the token; `authorized` false for one without.
  std::unique_ptr<httplib::Client> Client(bool authorized = true) const {
    auto client = std::make_unique<httplib::Client>("127.0.0.1", record_.port);
    if (authorized)
      client->set_bearer_token_auth(record_.token);
    client->set_read_timeout(std::chrono::seconds(30));
    return client;
  }

  ~DulHostProcess() {
    process_.Kill();
    std::error_code ignored;
    std::filesystem::remove(output_, ignored);
  }
  DulHostProcess(const DulHostProcess&) = delete;
  DulHostProcess& operator=(const DulHostProcess&) = delete;

  // Waits for the process to end; its exit code, or nothing after `seconds`.
  std::optional<int> WaitForExit(double seconds = 20.0) { return process_.Wait(seconds); }

 private:
  static std::filesystem::path UniqueOutputPath() {
    static std::atomic<unsigned> made{0};
    return std::filesystem::temp_directory_path() /
           ("dul-host-" + std::to_string(platform::CurrentProcessId()) + "-" +
            std::to_string(made++) + ".out");
  }

  // The record names the child: one a host before it left is not taken for this one's.
  void WaitForRecord() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline && !process_.Wait(0.0)) {
      const auto parsed = host::HostRecord::FromJson(ReadFileText(state_ / "host.json"));
      if (parsed && parsed->pid == process_.processId()) {
        record_ = *parsed;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "dul-host wrote no host.json in " << state_;
  }

  std::filesystem::path state_;
  std::filesystem::path output_ = UniqueOutputPath();  // outside every tree a test inspects
  platform::ChildProcess process_;
  host::HostRecord record_;
};

inline constexpr const char* kSets = "/dul-item-sets/v1/item-sets/42/sets";
inline constexpr const char* kJson = "application/json";
inline constexpr const char* kDocument =
    R"({"timestamp":0,"accountId":0,"itemSets":[{"uid":"u-1","title":"Jungle","mode":"CLASSIC",)"
    R"("associatedMaps":[11],"associatedChampions":[],"blocks":[]}]})";

inline Zorv::BindingProperty Json(const std::string& text) {
  Zorv::BindingResult parsed = Zorv::ParseJson(text);
  EXPECT_TRUE(parsed.ok()) << text;
  return parsed.ok() ? parsed.TakeValue() : Zorv::BindingProperty();
}

// Expects an error answer with the shared body shape.
inline void ExpectError(const httplib::Result& result, int status, const char* mentions = "") {
  ASSERT_TRUE(result) << httplib::to_string(result.error());
  EXPECT_EQ(result->status, status) << result->body;
  const Zorv::BindingProperty body = Json(result->body);
  EXPECT_EQ(body.Find("httpStatus").GetUnsigned(0), static_cast<std::uint64_t>(status));
  EXPECT_NE(body.Find("message").GetString().find(mentions), std::string_view::npos)
      << result->body;
  EXPECT_EQ(result->get_header_value("Content-Type"), kJson);
}

// One message of the host's event stream.
struct StreamMessage {
  std::uint64_t id = 0;
  std::string event;
  Zorv::BindingProperty data;
};

// The published events of a stream's text; comments, the host's own reports and resets (read
// from the text itself where a test wants them) and a message still incomplete are skipped.
inline std::vector<StreamMessage> StreamMessages(const std::string& text) {
  std::vector<StreamMessage> messages;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\n\n", start)) != std::string::npos; start = end + 2) {
    StreamMessage message;
    std::size_t line = start;
    while (line < end) {
      const std::size_t stop = std::min(text.find('\n', line), end);
      const std::string field = text.substr(line, stop - line);
      if (field.starts_with("id: "))
        message.id = std::stoull(field.substr(4));
      else if (field.starts_with("event: "))
        message.event = field.substr(7);
      else if (field.starts_with("data: "))
        message.data = Json(field.substr(6));
      line = stop + 1;
    }
    if (message.id != 0 && message.event != "dul-host-report")
      messages.push_back(std::move(message));
  }
  return messages;
}

// Reads the stream until `enough` says so (or the client's timeout); returns all that came.
inline std::string ReadStream(const DulHostProcess& host, const httplib::Headers& headers,
                              const std::function<bool(const std::string&)>& enough) {
  auto client = host.Client();
  client->set_read_timeout(std::chrono::seconds(10));
  std::string text;
  client->Get("/dul-host/v1/events", headers, [&](const char* data, std::size_t length) {
    text.append(data, length);
    return !enough(text);
  });
  return text;
}

// A dul-host in a temporary tree of its own, with a client that carries the token.
class DulHostTest : public ::testing::Test {
 protected:
  DulHostProcess& Start(std::vector<std::string> arguments = {"--clock", "virtual"}) {
    host.emplace(tree.Root() / "state", std::move(arguments));
    client = host->Client();
    return *host;
  }
  std::string GetSets() {
    const httplib::Result result = client->Get(kSets);
    EXPECT_TRUE(result && result->status == 200);
    return result ? result->body : "";
  }

  TemporaryTree tree;
  std::optional<DulHostProcess> host;
  std::unique_ptr<httplib::Client> client;
};

}  // namespace dul::testing

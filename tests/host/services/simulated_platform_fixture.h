// A SimulatedPlatform installed into an in-process host, with its state in a temporary tree, a
// small champion catalogue of its own and a wall clock the test sets.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "binding/binding_result.h"
#include "codecs/json_reader.h"
#include "codecs/json_writer.h"
#include "contract/request_method.h"
#include "host/core/host_clock.h"
#include "host/core/host_runtime.h"
#include "host/core/outcome.h"
#include "host/services/simulated_platform.h"
#include "tests/support/hosted_plugin.h"
#include "tests/support/temporary_tree.h"

namespace dul::testing {

inline constexpr const char* kFixtureChampions =
    R"([{"id":7,"alias":"Gorrath","name":"Gorrath"},)"
    R"({"id":41,"alias":"Åskeld","name":"Åskeld","title":"the Rime Skald"},)"
    R"({"id":-3,"alias":"Nullwick","name":"Nullwick"}])";

inline std::string Compact(const Zorv::BindingProperty& value) {
  return Zorv::WriteJson(value, nullptr, nullptr);
}

// An outcome that must be a success, with its message when it is not.
inline ::testing::AssertionResult Accepted(const host::Outcome& outcome) {
  if (outcome.ok())
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << outcome.message();
}

inline std::string BodyJson(const host::PeerAnswer& answer) {
  return answer.body ? Compact(*answer.body) : "<no body>";
}

inline host::PeerRequest MakeRequest(const std::string& method, const std::string& path,
                                     const std::string& body = {}) {
  host::PeerRequest request;
  request.method = MethodCodeOf(method);
  request.methodName = method;
  request.path = path;
  request.body = body;
  request.contentType = body.empty() ? "" : "application/json";
  return request;
}

// Every event published, as "NAME TYPE URI DATA", in order.
inline std::vector<std::string> EventLines(const std::vector<host::PublishedEvent>& events) {
  std::vector<std::string> lines;
  for (const host::PublishedEvent& event : events) {
    const Zorv::BindingProperty& payload = event.payload;
    const Zorv::BindingProperty& data = payload.Find("data");
    lines.push_back(event.name + " " + std::string(payload.Find("eventType").GetString()) + " " +
                    std::string(payload.Find("uri").GetString()) + " " +
                    (data.IsEmpty() ? std::string("null") : Compact(data)));
  }
  return lines;
}

// Options for a platform with its state and the fixture's champions in `tree`.
inline host::SimulatedPlatformOptions TreeOptions(const TemporaryTree& tree) {
  std::ofstream(tree.Path("champions.json"), std::ios::binary) << kFixtureChampions;
  host::SimulatedPlatformOptions options;
  options.stateDirectory = tree.Path("state");
  options.dataDirectory = tree.Root().string();
  return options;
}

// A bare plugin whose requests reach a simulated platform through the host.
struct PluginOnPlatform {
  PluginOnPlatform() {
    host::SimulatedPlatformOptions options = TreeOptions(tree);
    options.wallClock = [] { return std::int64_t{0}; };
    std::string error;
    platform = host::SimulatedPlatform::Open(options, hosted.host, error);
    EXPECT_NE(platform, nullptr) << error;
  }
  TemporaryTree tree;
  HostedPlugin<> hosted;
  std::unique_ptr<host::SimulatedPlatform> platform;
};

// A request the services must refuse, and the status they answer it with.
struct RefusedRequest {
  const char* method;
  const char* path;
  const char* body;
  std::uint32_t status;
};

class PlatformFixture {
 public:
  explicit PlatformFixture(bool signedIn = true) { Open(signedIn); }

  // Opens a platform on the tree's state in a new host, as a restarted dul-host does; false when
  // it fails.
  bool Open(bool signedIn = true) {
    platform.reset();
    published.reset();
    host = std::make_unique<host::HostRuntime>(clock);
    published = std::make_unique<PublishedEvents>(*host);
    host::SimulatedPlatformOptions options = TreeOptions(tree);
    options.signedIn = signedIn;
    options.wallClock = [this] { return now; };
    platform = host::SimulatedPlatform::Open(options, *host, error);
    EXPECT_NE(platform, nullptr) << error;
    return platform != nullptr;
  }
  // A request as the plugin's requests are answered.
  host::PeerAnswer Call(const std::string& method, const std::string& path,
                        const std::string& body = {}) {
    return host->Call(MakeRequest(method, path, body));
  }
  std::vector<std::string> TakeEvents() {
    std::vector<std::string> lines = EventLines(published->events);
    published->events.clear();
    return lines;
  }

  TemporaryTree tree;
  std::int64_t now = 1'700'000'000'000;
  host::VirtualClock clock;
  std::unique_ptr<host::HostRuntime> host;
  std::unique_ptr<PublishedEvents> published;
  std::string error;
  std::unique_ptr<host::SimulatedPlatform> platform;
};

}  // namespace dul::testing

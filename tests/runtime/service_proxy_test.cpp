#include "runtime/service_proxy.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/logger.h"
#include "tests/support/hosted_plugin.h"

namespace dul {
namespace {

ServiceProxyMessage Message(const char* uuid, const char* service, const char* method,
                            const char* payload) {
  ServiceProxyMessage message;
  message.uuid = uuid;
  message.serviceName = service;
  message.methodName = method;
  message.payload = payload;
  return message;
}

bool Logged(const host::HostRuntime& host, std::uint32_t level, const std::string& text) {
  for (const host::HostLogLine& line : host.logLines()) {
    if (line.level == level && line.message == text)
      return true;
  }
  return false;
}

// Catches a method message that is lost when nobody waits for it yet, or one that is not handed
// to the request registered later.
TEST(ServiceProxy, MessageKeptUntilARequestWaitsForIt) {
  testing::HostedPlugin<> hosted;
  testing::PublishNative(hosted, kServiceProxyMethodEvent,
                         Message("u-1", "inventory", "get", "first"));
  EXPECT_EQ(hosted.plugin->serviceProxy().storedMessageCount(), 1u);
  std::vector<std::string> answers;
  AwaitServiceProxyMessage(*hosted.plugin, "inventory.get",
                           [&](const ServiceProxyMessage& m) { answers.push_back(m.payload); });
  EXPECT_EQ(answers, std::vector<std::string>{"first"});
  EXPECT_EQ(hosted.plugin->serviceProxy().storedMessageCount(), 0u);
  EXPECT_EQ(hosted.plugin->serviceProxy().waitingRequestCount(), 0u);
  EXPECT_TRUE(Logged(hosted.host, kLogLevelAlways,
                     "dul-item-sets: Fulfilled service proxy request: inventory.get"));
}

// Catches uuid messages filed under the method key, a message answering a request of another
// key, or a request answered twice.
TEST(ServiceProxy, UuidMessageAnswersTheWaitingRequestOnce) {
  testing::HostedPlugin<> hosted;
  std::vector<std::string> answers;
  AwaitServiceProxyMessage(*hosted.plugin, "u-7",
                           [&](const ServiceProxyMessage& m) { answers.push_back(m.payload); });
  testing::PublishNative(hosted, kServiceProxyUuidEvent,
                         Message("u-8", "inventory", "get", "other"));
  EXPECT_TRUE(answers.empty());
  testing::PublishNative(hosted, kServiceProxyUuidEvent,
                         Message("u-7", "inventory", "get", "mine"));
  testing::PublishNative(hosted, kServiceProxyUuidEvent,
                         Message("u-7", "inventory", "get", "again"));
  EXPECT_EQ(answers, std::vector<std::string>{"mine"});
  EXPECT_EQ(hosted.plugin->serviceProxy().storedMessageCount(), 2u);  // u-8 and the second u-7
}

// Catches an asynchronous message sent to the wrong handler, or a missing handler that goes
// unreported.
TEST(ServiceProxy, AsyncMessageGoesToItsHandlerOrIsLogged) {
  testing::HostedPlugin<> hosted;
  std::vector<std::string> received;
  SetServiceProxyAsyncHandler(*hosted.plugin, "inventory.changed",
                              [&](const ServiceProxyMessage& m) { received.push_back(m.payload); });
  testing::PublishNative(hosted, kServiceProxyAsyncEvent,
                         Message("", "inventory", "changed", "one"));
  EXPECT_EQ(received, std::vector<std::string>{"one"});
  EXPECT_TRUE(hosted.host.logLines().empty());

  RemoveServiceProxyAsyncHandler(*hosted.plugin, "inventory.changed");
  testing::PublishNative(hosted, kServiceProxyAsyncEvent,
                         Message("", "inventory", "changed", "two"));
  EXPECT_EQ(received.size(), 1u);
  EXPECT_TRUE(Logged(hosted.host, kLogLevelError,
                     "dul-item-sets: Could not find registered handler for async service proxy "
                     "event inventory.changed"));
  EXPECT_EQ(hosted.plugin->serviceProxy().storedMessageCount(), 0u);
}

// Catches a shutdown that leaves waiting requests, kept messages or handlers behind.
TEST(ServiceProxy, ShutdownEmptiesTheTables) {
  testing::HostedPlugin<> hosted;
  testing::PublishNative(hosted, kServiceProxyMethodEvent, Message("", "a", "b", ""));
  AwaitServiceProxyMessage(*hosted.plugin, "c.d", [](const ServiceProxyMessage&) {});
  hosted.plugin->Shutdown();
  EXPECT_EQ(hosted.plugin->serviceProxy().storedMessageCount(), 0u);
  EXPECT_EQ(hosted.plugin->serviceProxy().waitingRequestCount(), 0u);
}

}  // namespace
}  // namespace dul

// dul-host under clients that hold connections: silent ones and event streams must not keep a
// status request from being answered.
#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <string>
#include <vector>

#include "host/http/http_front.h"
#include "tests/support/dul_host_process.h"
#include "tests/support/raw_connection.h"

namespace dul::testing {
namespace {

constexpr int kIdleConnections = 200;

std::string EventsRequest(const host::HostRecord& record) {
  return "GET /dul-host/v1/events HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Bearer " +
         record.token + "\r\n\r\n";
}

// Catches a server whose threads silent connections or open streams can all take, a stream cap
// that is not enforced or answered without Retry-After, and silent connections kept for ever.
TEST_F(DulHostTest, IdleConnectionsAndStreamsLeaveRoomForRequests) {
  Start();
  std::vector<std::unique_ptr<RawConnection>> idle;
  for (int i = 0; i < kIdleConnections; ++i)
    idle.push_back(std::make_unique<RawConnection>(host->record().port));
  std::vector<std::unique_ptr<RawConnection>> streams;
  for (std::size_t i = 0; i < host::kEventStreamLimit; ++i) {
    auto stream = std::make_unique<RawConnection>(host->record().port);
    ASSERT_TRUE(stream->Send(EventsRequest(host->record())));
    ASSERT_NE(stream->ReadUntil(": dul-host events").find("200 OK"), std::string::npos) << i;
    streams.push_back(std::move(stream));
  }
  RawConnection refused(host->record().port);
  ASSERT_TRUE(refused.Send(EventsRequest(host->record())));
  const std::string refusal = refused.ReadUntil("}");
  EXPECT_NE(refusal.find("503"), std::string::npos) << refusal;
  EXPECT_NE(refusal.find("Retry-After: " + std::to_string(host::kEventStreamRetrySeconds)),
            std::string::npos)
      << refusal;

  auto status = host->Client();
  status->set_read_timeout(std::chrono::seconds(10));
  const httplib::Result answered = status->Get("/dul-host/v1/status");
  ASSERT_TRUE(answered) << httplib::to_string(answered.error());
  EXPECT_EQ(answered->status, 200);
  for (const auto& connection : idle)
    EXPECT_TRUE(connection->ClosedByPeer());
}

}  // namespace
}  // namespace dul::testing

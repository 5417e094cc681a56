#include "host/app/http_translation.h"

#include <gtest/gtest.h>

#include <string>

namespace dul::host {
namespace {

PeerAnswer WithStatus(PeerAnswer answer, std::uint32_t status) {
  answer.status = status;
  return answer;
}

// Catches a failure reported as a success (an error text under a 2xx status, a status that is
// no HTTP status), an error status lost, a body dropped or sent without its JSON type, and an
// answer without a body that claims one.
TEST(HttpTranslationTest, RepliesKeepFailuresAndSuccessesApart) {
  struct Case {
    const char* name;
    PeerAnswer answer;
    int status;
    std::string body;
  };
  const Case cases[] = {
      {"body", PeerAnswer::Json("[1]"), 200, "[1]"},
      {"created", PeerAnswer::Json("{}", 201), 201, "{}"},
      {"no body", PeerAnswer{}, 204, ""},
      {"accepted", WithStatus(PeerAnswer{}, 202), 202, ""},
      {"bind failed", PeerAnswer::Error(400, "bad"), 400, R"({"httpStatus":400,"message":"bad"})"},
      {"no endpoint", PeerAnswer::Error(404, "Invalid function"), 404,
       R"({"httpStatus":404,"message":"Invalid function"})"},
      {"error under 200", PeerAnswer::Error(200, "oops"), 500,
       R"({"httpStatus":500,"message":"oops"})"},
      {"status 0", PeerAnswer::Error(0, "gone"), 500, R"({"httpStatus":500,"message":"gone"})"},
      {"status 700", PeerAnswer::Json("1", 700), 500,
       R"({"httpStatus":500,"message":"The answer carried the status 700"})"},
      {"not modified", PeerAnswer::Error(304, "same"), 304, ""},
      {"fault body", PeerAnswer::Json(R"({"x":1})", 503), 503, R"({"x":1})"},
      {"bare fault", WithStatus(PeerAnswer{}, 502), 502,
       R"({"httpStatus":502,"message":"The service answered 502"})"},
  };
  for (const Case& c : cases) {
    const HttpReply reply = ReplyFor(c.answer);
    EXPECT_EQ(reply.status, c.status) << c.name;
    EXPECT_EQ(reply.body, c.body) << c.name;
    EXPECT_EQ(reply.contentType, c.body.empty() ? "" : "application/json") << c.name;
    EXPECT_FALSE(reply.breaksMidway) << c.name;
  }
}

// Catches a streamed answer whose failure is hidden behind a complete-looking body.
TEST(HttpTranslationTest, StreamedAnswersBreakWhereTheStreamFails) {
  const HttpReply whole = ReplyFor(PeerAnswer::StreamedJson(R"({"alias":"Ahri"})", 4));
  EXPECT_EQ(whole.body, R"({"alias":"Ahri"})");
  EXPECT_FALSE(whole.breaksMidway);
  const HttpReply broken = ReplyFor(PeerAnswer::StreamedJson(R"({"alias":"Ahri"})", 4, 2));
  EXPECT_EQ(broken.body, R"({"alias")");
  EXPECT_TRUE(broken.breaksMidway);
}

// Catches a path that would be cut short or misread once the plugin reads it as C text.
TEST(HttpTranslationTest, AcceptablePaths) {
  EXPECT_TRUE(IsAcceptablePath("/dul-item-sets/v1/item-sets/42/sets"));
  EXPECT_FALSE(IsAcceptablePath(std::string("/a\0b", 4)));
  EXPECT_FALSE(IsAcceptablePath("/a\nb"));
  EXPECT_FALSE(IsAcceptablePath("a/b"));
  EXPECT_FALSE(IsAcceptablePath(""));
}

}  // namespace
}  // namespace dul::host

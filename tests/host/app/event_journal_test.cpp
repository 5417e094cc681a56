#include "host/app/event_journal.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "binding/binding_result.h"
#include "codecs/json_reader.h"

namespace dul::host {
namespace {

using std::chrono::milliseconds;

std::vector<std::uint64_t> IdsOf(const JournalRead& read) {
  std::vector<std::uint64_t> ids;
  for (const JournalEntry& entry : read.entries)
    ids.push_back(entry.id);
  return ids;
}

// Catches ids that do not count up from 1, a reader handed what it has seen, and a resumed
// reader not told how many events left the backlog before it came back.
TEST(EventJournalTest, ResumesFromTheLastSeenIdWithinTheBacklog) {
  EventJournal journal(3);
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(journal.Append("e", "{}"), static_cast<std::uint64_t>(i + 1));
  EXPECT_EQ(journal.newestId(), 5u);
  JournalRead read = journal.ReadAfter(3, milliseconds(0));
  EXPECT_EQ(IdsOf(read), (std::vector<std::uint64_t>{4, 5}));
  EXPECT_EQ(read.missed, 0u);
  read = journal.ReadAfter(0, milliseconds(0));
  EXPECT_EQ(IdsOf(read), (std::vector<std::uint64_t>{3, 4, 5}));
  EXPECT_EQ(read.missed, 2u);
  EXPECT_TRUE(journal.ReadAfter(5, milliseconds(0)).entries.empty());
}

// Catches ids that begin again at every run, and a reader with another run's id (before this
// run's first, or beyond its newest) left waiting or resumed as if the id were this run's.
TEST(EventJournalTest, TellsAReaderFromAnotherRunAtOnce) {
  const std::uint64_t first = FirstEventIdAt(1'700'000'000'000);
  EXPECT_GT(FirstEventIdAt(1'700'000'000'001), first + 999);
  EventJournal journal(10, 1000, first);
  EXPECT_FALSE(journal.ReadAfter(first - 1, milliseconds(0)).reset);  // nothing seen yet
  EXPECT_EQ(journal.Append("e", "{}"), first);
  journal.Append("e", "{}");
  EXPECT_FALSE(journal.ReadAfter(first, milliseconds(0)).reset);
  for (const std::uint64_t foreign : {std::uint64_t{0}, first - 2, first + 2}) {
    const JournalRead read = journal.ReadAfter(foreign, milliseconds(10000));
    EXPECT_TRUE(read.reset) << foreign;
    EXPECT_EQ(IdsOf(read), (std::vector<std::uint64_t>{first, first + 1}));
  }
}

// Catches a backlog whose memory grows with the size of the events instead of staying within
// its budget, and a newest event dropped because it alone exceeds the budget.
TEST(EventJournalTest, BacklogStaysWithinItsByteBudget) {
  EventJournal journal(100, 10);
  journal.Append("a", "1234");
  journal.Append("b", "1234");
  journal.Append("c", "1234");
  EXPECT_EQ(IdsOf(journal.ReadAfter(0, milliseconds(0))), (std::vector<std::uint64_t>{2, 3}));
  journal.Append("huge", std::string(50, 'x'));
  const JournalRead read = journal.ReadAfter(0, milliseconds(0));
  EXPECT_EQ(IdsOf(read), (std::vector<std::uint64_t>{4}));
  EXPECT_EQ(read.missed, 3u);
}

// Catches a waiting reader that misses an event appended meanwhile, or one that Close leaves
// hanging (which would keep the server from stopping).
TEST(EventJournalTest, WakesWaitingReadersForNewEventsAndForClose) {
  EventJournal journal;
  std::thread publisher([&] {
    std::this_thread::sleep_for(milliseconds(20));
    journal.Append("late", "1");
  });
  const auto start = std::chrono::steady_clock::now();
  JournalRead read = journal.ReadAfter(0, milliseconds(10000));
  publisher.join();
  ASSERT_EQ(read.entries.size(), 1u);
  EXPECT_EQ(read.entries[0].name, "late");
  std::thread closer([&] {
    std::this_thread::sleep_for(milliseconds(20));
    journal.Close();
  });
  read = journal.ReadAfter(1, milliseconds(10000));
  closer.join();
  EXPECT_TRUE(read.closed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(journal.Append("after", "1"), 0u);
}

// Catches a line break in a name or data that would end the message early and let the rest
// pose as another field.
TEST(EventJournalTest, MessagesKeepEachFieldOnOneLine) {
  EventJournal journal;
  journal.Append("Bad\nid: 99", "{\"a\":\r\n1}");
  const JournalRead read = journal.ReadAfter(0, milliseconds(0));
  ASSERT_EQ(read.entries.size(), 1u);
  EXPECT_EQ(FormatServerSentEvent(read.entries[0]),
            "id: 1\nevent: Bad id: 99\ndata: {\"a\":  1}\n\n");
}

// Catches an event type sent as a number instead of its name, and a payload that is not a
// resource event lost instead of carried as the data.
TEST(EventJournalTest, DescribesPayloadsAsResourceEvents) {
  const auto payload = [](const char* json) { return Zorv::ParseJson(json).TakeValue(); };
  EXPECT_EQ(ResourceEventJson(payload(R"({"uri":"/a","eventType":"Update","data":[1]})")),
            R"({"data":[1],"eventType":"Update","uri":"/a"})");
  EXPECT_EQ(ResourceEventJson(payload(R"({"uri":"/a","eventType":2})")),
            R"({"data":null,"eventType":"Delete","uri":"/a"})");
  Zorv::BindingProperty enumPayload = payload(R"({"uri":"/b","data":true})");
  enumPayload.Member("eventType") = Zorv::BindingEnumCell{0, 77};
  EXPECT_EQ(ResourceEventJson(enumPayload), R"({"data":true,"eventType":"Create","uri":"/b"})");
  EXPECT_EQ(ResourceEventJson(payload(R"({"uri":"/a","eventType":7})")),
            R"({"data":null,"eventType":"","uri":"/a"})");
  EXPECT_EQ(ResourceEventJson(Zorv::BindingProperty(3)), R"({"data":3,"eventType":"","uri":""})");
}

}  // namespace
}  // namespace dul::host

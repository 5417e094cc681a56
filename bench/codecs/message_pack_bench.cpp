// ReadMessagePack against msgpack-cxx's unpack, on the MessagePack form of every input. The goal
// against our own ParseJson compares these times with json_read/<input>/ours (same document).
#include "bench/codecs/bench_support.h"
#include "bench/codecs/tree_statistics.h"
#include "codecs/message_pack_reader.h"

namespace dul::bench {
namespace {

std::string Name(const GeneratedDocument& document, std::string_view contender) {
  return "msgpack_read/" + document.name + "/" + std::string(contender);
}

void RegisterOurs(const GeneratedDocument& document) {
  const std::vector<std::uint8_t>& bytes = document.messagePack;
  RegisterCase(
      Name(document, "ours"),
      [&document, &bytes] {
        const Zorv::MessagePackReadResult read = Zorv::ReadMessagePack(bytes.data(), bytes.size());
        if (!read.result.ok() || read.consumed != bytes.size())
          return Verdict{"ReadMessagePack failed", {}};
        return Compare(StatsOfBinding(read.result.value()), document.stats);
      },
      [&bytes](benchmark::State& state) {
        TimeLoop(state, bytes.size(), [&] {
          Zorv::MessagePackReadResult read = Zorv::ReadMessagePack(bytes.data(), bytes.size());
          benchmark::DoNotOptimize(read);
        });
      });
}

#ifdef DUL_BENCH_HAVE_MSGPACK
void RegisterMsgpackCxx(const GeneratedDocument& document) {
  const auto* bytes = reinterpret_cast<const char*>(document.messagePack.data());
  const std::size_t size = document.messagePack.size();
  RegisterCase(
      Name(document, "msgpack_cxx"),
      [&document, bytes, size] {
        const msgpack::object_handle unpacked = msgpack::unpack(bytes, size);
        return Compare(StatsOfMsgpack(unpacked.get()), document.stats);
      },
      [bytes, size](benchmark::State& state) {
        TimeLoop(state, size, [&] {
          msgpack::object_handle unpacked = msgpack::unpack(bytes, size);
          benchmark::DoNotOptimize(unpacked);
        });
      });
}
#endif

}  // namespace

void RegisterMessagePackBenchmarks() {
  for (const GeneratedDocument& document : Corpus()) {
    RegisterOurs(document);
#ifdef DUL_BENCH_HAVE_MSGPACK
    RegisterMsgpackCxx(document);
#endif
  }
}

}  // namespace dul::bench

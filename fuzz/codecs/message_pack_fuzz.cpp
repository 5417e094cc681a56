// Feeds arbitrary bytes to the MessagePack reader: it must never crash, read out of bounds or
// report success for a value that consumed more than the input.
#include <cstddef>
#include <cstdint>

#include "codecs/message_pack_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Zorv::MessagePackReadResult read = Zorv::ReadMessagePack(data, size);
  if (read.result.ok() ? read.consumed == 0 || read.consumed > size
                       : read.result.ErrorText().empty())
    __builtin_trap();
  return 0;
}

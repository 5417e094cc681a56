// Feeds arbitrary text to the JSON reader: it must never crash or read out of bounds, a failure
// must say why, and what it reads must write out as text that reads back to the same text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "codecs/json_reader.h"
#include "codecs/json_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const Zorv::BindingResult parsed = Zorv::ParseJson(text);
  if (!parsed.ok()) {
    if (parsed.ErrorText().empty())
      __builtin_trap();
    return 0;
  }
  const std::string written = Zorv::WriteJson(parsed.value(), nullptr, nullptr);
  const Zorv::BindingResult again = Zorv::ParseJson(written);
  if (!again.ok() || Zorv::WriteJson(again.value(), nullptr, nullptr) != written)
    __builtin_trap();
  return 0;
}

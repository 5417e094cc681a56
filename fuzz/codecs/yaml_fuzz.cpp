// Feeds arbitrary text to the YAML reader: it must never crash, read out of bounds or exhaust
// memory on aliases, and a failure must say why.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "codecs/yaml_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const Zorv::BindingResult parsed = Zorv::ParseYaml(text);
  if (!parsed.ok() && parsed.ErrorText().empty())
    __builtin_trap();
  return 0;
}

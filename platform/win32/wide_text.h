// UTF-8 and UTF-16 conversion for the wide-character Windows calls.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dul::platform::win32 {

// Nothing, with the thread's last error set, when the text is not valid UTF-8: replacing the
// bad bytes would let two different names reach the same file.
std::optional<std::wstring> WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

}  // namespace dul::platform::win32

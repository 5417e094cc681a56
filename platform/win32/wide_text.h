// UTF-8 and UTF-16 conversion for the wide-character Windows calls.
#pragma once

#include <string>
#include <string_view>

namespace dul::platform::win32 {

std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(std::wstring_view text);

}  // namespace dul::platform::win32

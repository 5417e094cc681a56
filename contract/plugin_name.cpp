#include "contract/plugin_name.h"

#include "foundation/format_text.h"
#include "foundation/logger.h"

namespace dul {
namespace {

std::string_view FullNamePrefix(std::string_view shortName, std::string_view kind) {
  if (kind == "backend")
    return "pxm-be-";
  if (kind == "frontend")
    return "pxm-fe-";
  const std::string message =
      FormatText("GetFullNameFromShortNameAndType(\"%1\", \"%2\") called with an unknown type",
                 shortName, kind);
  Log(kLogLevelError, 1, 0, "            Plugin Manager| %s", message.c_str());
  return "pxm-xx-";
}

char UpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

PluginName MakePluginName(std::string_view shortName, std::string_view kind,
                          std::string_view kindDetail) {
  PluginName name;
  name.fullName = std::string(FullNamePrefix(shortName, kind)) + std::string(shortName);
  name.shortName = shortName;
  name.kind = kind;
  name.kindDetail = kindDetail;
  return name;
}

std::string TypeNamePrefix(std::string_view shortName) {
  std::string prefix;
  bool capitalise = true;
  for (const char c : shortName) {
    if (c == '-') {
      capitalise = true;
      continue;
    }
    prefix += capitalise ? UpperAscii(c) : c;
    capitalise = false;
  }
  return prefix;
}

}  // namespace dul

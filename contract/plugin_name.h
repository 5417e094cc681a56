// PluginName: the names under which a plugin is known.
#pragma once

#include <string>
#include <string_view>

namespace dul {

struct PluginName {
  std::string fullName;    // "pxm-be-dul-item-sets"
  std::string shortName;   // "dul-item-sets"
  std::string kind;        // "backend" or "frontend"
  std::string kindDetail;  // empty here
};

// Derives the full name from the kind ("backend" gives "pxm-be-", "frontend" "pxm-fe-"); any other
// kind gives "pxm-xx-" and logs an error line.
PluginName MakePluginName(std::string_view shortName, std::string_view kind,
                          std::string_view kindDetail);

// "dul-item-sets" gives "DulItemSets": the first letter and each letter after "-" upper-cased,
// the "-" dropped.
std::string TypeNamePrefix(std::string_view shortName);

}  // namespace dul

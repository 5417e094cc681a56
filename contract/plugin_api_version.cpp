#include "contract/plugin_api_version.h"

#include <tuple>

#include "foundation/format_text.h"

namespace dul {

std::string PluginApiVersion::Text() const {
  std::string text = FormatText("%1.%2.%3", major, minor, patch);
  if (!preRelease.empty())
    text += "-" + preRelease;
  if (!build.empty())
    text += "+" + build;
  return text;
}

PluginApiVersion OwnPluginApiVersion() {
  return PluginApiVersion{18, 0, 0, {}, {}};
}

bool IsCompatibleHostVersion(const PluginApiVersion& host, const PluginApiVersion& own) {
  return host.major == own.major &&
         std::tie(host.minor, host.patch) >= std::tie(own.minor, own.patch);
}

}  // namespace dul

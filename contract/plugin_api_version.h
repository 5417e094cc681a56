// PluginApiVersion: the version of the plugin interface a host or plugin speaks.
#pragma once

#include <cstdint>
#include <string>

namespace dul {

struct PluginApiVersion {
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  std::uint32_t patch = 0;
  std::string preRelease;
  std::string build;

  // "18.0.0", with "-<preRelease>" and "+<build>" when those are not empty.
  std::string Text() const;
};

// The version this library implements.
PluginApiVersion OwnPluginApiVersion();

// A host is compatible when its major version is ours and its (minor, patch) is not lower.
bool IsCompatibleHostVersion(const PluginApiVersion& host, const PluginApiVersion& own);

}  // namespace dul

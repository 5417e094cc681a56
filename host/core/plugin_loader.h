// PluginLoader: loads a plugin library as the platform does: finds the export, performs the
// handshake, and then drives the plugin through its entry table.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "contract/host_contract.h"
#include "contract/memory_stats.h"
#include "platform/shared_library.h"

namespace dul::host {

struct ApiVersion {
  std::uint32_t major = 18;
  std::uint32_t minor = 0;
  std::uint32_t patch = 0;
};

class PluginLoader {
 public:
  PluginLoader() = default;
  ~PluginLoader();
  PluginLoader(const PluginLoader&) = delete;
  PluginLoader& operator=(const PluginLoader&) = delete;

  // Loads the library and calls its export with the host's version. False, with a reason in
  // error(), when the library or its export is missing or the plugin reports a version of
  // another major release than the host's.
  bool Load(const std::string& libraryPath, const std::string& exportName, ApiVersion hostVersion);
  bool Initialize(const DulHostInterface& host);
  AllocationStats ReadMemoryStats() const;
  // Destroys the plugin object; the library stays loaded until the loader goes.
  void Destroy();

  const DulPluginHandshake& handshake() const { return handshake_; }
  ApiVersion pluginVersion() const;
  const std::string& error() const { return error_; }
  bool loaded() const { return handshake_.plugin != nullptr; }

 private:
  platform::SharedLibrary library_;
  DulPluginHandshake handshake_{};
  std::string error_;
};

}  // namespace dul::host

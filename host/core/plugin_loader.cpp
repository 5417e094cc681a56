#include "host/core/plugin_loader.h"

namespace dul::host {

PluginLoader::~PluginLoader() {
  Destroy();
}

bool PluginLoader::Load(const std::string& libraryPath, const std::string& exportName,
                        ApiVersion hostVersion) {
  if (!library_.Open(libraryPath)) {
    error_ = library_.error();
    return false;
  }
  const auto load = reinterpret_cast<DulLoadFunction>(library_.FindFunction(exportName.c_str()));
  if (load == nullptr) {
    error_ = libraryPath + " has no export " + exportName;
    return false;
  }
  handshake_ = DulPluginHandshake{
      hostVersion.major, hostVersion.minor, hostVersion.patch, nullptr, nullptr, nullptr, nullptr};
  load(&handshake_);
  if (handshake_.plugin == nullptr || handshake_.entryTable == nullptr) {
    error_ = "the plugin did not complete the handshake";
    handshake_ = DulPluginHandshake{};
    return false;
  }
  if (handshake_.apiMajor != hostVersion.major) {
    error_ = "the plugin speaks plugin API " + std::to_string(handshake_.apiMajor) +
             ".x, the host " + std::to_string(hostVersion.major) + ".x";
    Destroy();
    return false;
  }
  return true;
}

bool PluginLoader::Initialize(const DulHostInterface& host) {
  return loaded() && handshake_.entryTable->initialize(handshake_.plugin, &host) != 0;
}

AllocationStats PluginLoader::ReadMemoryStats() const {
  std::array<std::uint32_t, kMemoryStatsWords> words{};
  if (loaded())
    handshake_.entryTable->getMemoryStats(handshake_.plugin, words.data());
  return ReadMemoryStatsWords(words.data());
}

void PluginLoader::Destroy() {
  if (!loaded())
    return;
  handshake_.entryTable->destroy(handshake_.plugin);
  handshake_.plugin = nullptr;
}

ApiVersion PluginLoader::pluginVersion() const {
  return ApiVersion{handshake_.apiMajor, handshake_.apiMinor, handshake_.apiPatch};
}

}  // namespace dul::host

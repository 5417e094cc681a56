#include "plugin/install_locator.h"

#include <algorithm>
#include <span>

#include "foundation/ascii_case.h"
#include "plugin/file_system_helpers.h"

namespace dul::item_sets {
namespace {

enum class ProbeKind {
  kLowerCaseSubstring,  // the lower-cased path contains the name
  kSubstring,           // the path, in its own case, contains the name
  kDirectory,           // a directory relative to the current directory
  kFile,                // a file relative to the current directory
};

struct Probe {
  ProbeKind kind;
  const char* name;
  int points;
  bool onlyIfPreviousFound;  // runs only when the nearest probe above it without this flag hit
};

constexpr Probe kDeployedProbes[] = {
    {ProbeKind::kLowerCaseSubstring, "kelvo", 3, false},
    {ProbeKind::kLowerCaseSubstring, "deploysets", 1, false},
    {ProbeKind::kLowerCaseSubstring, "dul_client_set", 1, false},
    {ProbeKind::kDirectory, "DATA", 2, false},
    {ProbeKind::kFile, "../kelvo.cfg", 2, false},
    {ProbeKind::kFile, "../deployset.manifest", 2, false},
};

constexpr Probe kInstalledProbes[] = {
    {ProbeKind::kFile, "../PlayLauncher.exe", 3, false},
    {ProbeKind::kDirectory, "../ClientShell", 1, false},
    {ProbeKind::kDirectory, "../DesktopClient", 3, false},
    {ProbeKind::kDirectory, "../Game", 1, false},
    {ProbeKind::kFile, "HeroData.pak", 2, true},
    {ProbeKind::kFile, "Maps.pak", 2, true},
    {ProbeKind::kDirectory, "../RegionLauncher", 2, false},
    {ProbeKind::kFile, "../zlib1.dll", 2, false},
};

constexpr Probe kDevelopmentProbes[] = {
    {ProbeKind::kSubstring, "/DevTree/", 3, false},
    {ProbeKind::kDirectory, "Debug", 1, false},
    {ProbeKind::kDirectory, "Levels", 2, false},
    {ProbeKind::kDirectory, "Build", 1, false},
    {ProbeKind::kDirectory, "ParticleEditor", 1, false},
    {ProbeKind::kDirectory, "DATA", 1, false},
    {ProbeKind::kFile, "luac5.1.exe", 1, true},
    {ProbeKind::kDirectory, "DATA/Buffs", 1, true},
};

constexpr std::string_view kDeploymentRootMarker = "/KELVO";

bool ProbeHits(const Probe& probe, std::string_view path, std::string_view lowerPath) {
  switch (probe.kind) {
    case ProbeKind::kLowerCaseSubstring:
      return lowerPath.find(probe.name) != std::string_view::npos;
    case ProbeKind::kSubstring:
      return path.find(probe.name) != std::string_view::npos;
    case ProbeKind::kDirectory:
      return IsDirectory(probe.name);
    case ProbeKind::kFile:
      return IsFile(probe.name);
  }
  return false;
}

int Score(std::span<const Probe> probes, std::string_view path, std::string_view lowerPath) {
  int score = 0;
  bool previousFound = false;
  for (const Probe& probe : probes) {
    if (probe.onlyIfPreviousFound && !previousFound)
      continue;
    const bool hit = ProbeHits(probe, path, lowerPath);
    if (!probe.onlyIfPreviousFound)
      previousFound = hit;
    if (hit)
      score += probe.points;
  }
  return score;
}

std::string_view PathOf(const InstallInfo& info) {
  const char* end = std::find(info.path, info.path + kInstallPathCapacity, '\0');
  return {info.path, static_cast<std::size_t>(end - info.path)};
}

// Inside a deployment tree the root is the directory that holds its upper-case "KELVO" folder.
std::string DeployedGameDirectory(std::string_view path) {
  std::string normalized = NormalizeSeparators(path);
  const std::size_t marker = normalized.rfind(kDeploymentRootMarker);
  if (marker == std::string::npos)
    return normalized;
  const std::size_t after = marker + kDeploymentRootMarker.size();
  if (after == normalized.size() || normalized[after] == '/')
    normalized.resize(marker);
  return normalized;
}

// A client directory sits beside "Game": replace the last component by "Game".
std::string InstalledGameDirectory(std::string_view path) {
  std::string normalized = NormalizeSeparators(path);
  if (!normalized.empty() && normalized.back() == '/')
    normalized.pop_back();
  const std::size_t lastSlash = normalized.rfind('/');
  if (lastSlash == std::string::npos)
    return "Game";
  normalized.resize(lastSlash + 1);
  return normalized + "Game";
}

const InstallInfo& ProcessInstallInfo() {
  // Built once, on first use; a later change of the current directory is deliberately not seen.
  static const InstallInfo info = DetectLayoutOfCurrentDirectory();
  return info;
}

}  // namespace

LayoutScores ScoreLayout(std::string_view path) {
  const std::string lowerPath = LowerAsciiCopy(path);
  return {Score(kDeployedProbes, path, lowerPath), Score(kInstalledProbes, path, lowerPath),
          Score(kDevelopmentProbes, path, lowerPath)};
}

InstallLayout ChooseLayout(const LayoutScores& scores) {
  const int d = scores.deployed, i = scores.installed, v = scores.development;
  if (d > i && d > v)
    return InstallLayout::Deployed;
  if (i > d && i > v)
    return InstallLayout::Installed;
  if (v > d && v > i)
    return InstallLayout::Development;
  return InstallLayout::Undetermined;
}

InstallInfo DetectLayoutFor(std::string_view currentDirectory) {
  InstallInfo info;
  if (currentDirectory.size() < kInstallPathCapacity) {
    std::replace_copy(currentDirectory.begin(), currentDirectory.end(), info.path, '\\', '/');
  }
  info.layout = ChooseLayout(ScoreLayout(PathOf(info)));
  return info;
}

InstallInfo DetectLayoutOfCurrentDirectory() {
  char directory[kInstallPathCapacity];
  if (!CurrentDirectory(sizeof directory, directory))
    directory[0] = '\0';
  return DetectLayoutFor(directory);
}

std::string NormalizeSeparators(std::string_view path) {
  std::string normalized;
  normalized.reserve(path.size());
  for (char c : path) {
    if (c == '\\')
      c = '/';
    if (c == '/' && normalized.size() >= 2 && normalized.back() == '/')
      continue;
    normalized.push_back(c);
  }
  return normalized;
}

std::string GameDirectoryFor(const InstallInfo& info) {
  switch (info.layout) {
    case InstallLayout::Deployed:
      return DeployedGameDirectory(PathOf(info));
    case InstallLayout::Installed:
      return InstalledGameDirectory(PathOf(info));
    case InstallLayout::Development:
    case InstallLayout::Undetermined:
      break;
  }
  return std::string(PathOf(info));
}

// An empty root (a deployment tree at the file-system root) must not turn into "/Config/" at the
// file-system root, nor an unknown current directory into a root relative to wherever the
// process stands (an installation's "Game"): both take the relative fallback.
std::string GameConfigDirectoryFor(const InstallInfo& info) {
  if (info.layout == InstallLayout::Development || PathOf(info).empty())
    return std::string(kFallbackConfigDirectory);
  const std::string root = GameDirectoryFor(info);
  if (root.empty())
    return std::string(kFallbackConfigDirectory);
  const std::string candidate = root + "/Config/";
  MakeDirectory(candidate);
  if (IsWritable(candidate))
    return candidate;
  return std::string(kFallbackConfigDirectory);
}

void DetectInstallLayout() {
  ProcessInstallInfo();
}

std::string GetGameDirectory() {
  return GameDirectoryFor(ProcessInstallInfo());
}

std::string GetGameConfigDirectory() {
  return GameConfigDirectoryFor(ProcessInstallInfo());
}

}  // namespace dul::item_sets

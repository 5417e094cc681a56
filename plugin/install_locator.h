// Locates the game's installation from the process's current directory: scores the directory
// against the known layouts by probing for marker files and directories, derives the game's
// root directory from the winning layout and from the root its configuration directory.
//
// The pure functions take the current directory as text (probes still look relative to the
// real current directory); the Get* operations work on one record per process, built on first
// use and never rebuilt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace dul::item_sets {

enum class InstallLayout : std::uint32_t {
  Deployed = 0,      // inside a tree of the deployment system
  Installed = 1,     // a client directory beside the game's "Game" directory
  Development = 2,   // a developer's working tree
  Undetermined = 3,  // no layout scores strictly highest
};

inline constexpr std::size_t kInstallPathCapacity = 260;

struct InstallInfo {
  // Current directory with "\" replaced by "/", NUL-terminated; empty when it could not be read
  // or did not fit.
  char path[kInstallPathCapacity] = {};
  InstallLayout layout = InstallLayout::Undetermined;
};

struct LayoutScores {
  int deployed = 0;
  int installed = 0;
  int development = 0;
};

// The relative configuration directory used when the game's own cannot be used.
inline constexpr std::string_view kFallbackConfigDirectory = "DATA/CFG/";

// Scores of each layout for a current directory given as text ("/" separated).
LayoutScores ScoreLayout(std::string_view path);

// The layout with the strictly highest score, else Undetermined.
InstallLayout ChooseLayout(const LayoutScores& scores);

// Record for a current directory given as text; too long a text gives the empty path.
InstallInfo DetectLayoutFor(std::string_view currentDirectory);

// Record for the process's actual current directory, read now.
InstallInfo DetectLayoutOfCurrentDirectory();

// "\" becomes "/" and runs of "/" collapse to one, except that a leading "//" survives.
std::string NormalizeSeparators(std::string_view path);

// The game's root directory for a record.
std::string GameDirectoryFor(const InstallInfo& info);

// The game's configuration directory for a record, with a trailing "/". Creates "Config" under
// the root when missing (except in a development tree).
std::string GameConfigDirectoryFor(const InstallInfo& info);

// Builds the process-wide record if that has not happened yet.
void DetectInstallLayout();

// The game's root directory of the process-wide record.
std::string GetGameDirectory();

// The game's configuration directory of the process-wide record, with a trailing "/".
std::string GetGameConfigDirectory();

}  // namespace dul::item_sets

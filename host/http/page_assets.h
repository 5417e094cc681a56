// The editor page's files (HTML, CSS, JavaScript modules from host/page/), built into dul-host at
// build time so the executable serves them without any file beside it.
#pragma once

#include <optional>
#include <string_view>

namespace dul::host {

struct PageAsset {
  std::string_view contentType;
  std::string_view bytes;
};

// The file served at `path`: "/" is "/page/index.html", the others are "/page/NAME"; nothing
// for any other path.
std::optional<PageAsset> FindPageAsset(std::string_view path);

}  // namespace dul::host

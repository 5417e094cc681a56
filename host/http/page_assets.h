// The editor page's files (HTML, CSS, JavaScript modules from host/page/), built into dul-host at
// build time so the executable serves them without any file beside it.
#pragma once

#include <optional>
#include <string_view>

namespace dul::host {

struct PageAsset {
  std::string_view contentType;
  std::string_view bytes;
  std::string_view entityTag;  // quoted, from the file's SHA-256: the same bytes, the same tag
};

// The file served at `path`: "/" is "/page/index.html", the others are "/page/NAME"; nothing
// for any other path.
std::optional<PageAsset> FindPageAsset(std::string_view path);

}  // namespace dul::host

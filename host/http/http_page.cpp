// The editor page's files at "/" and "/page/...", served without the token.
#include <httplib.h>

#include "host/app/http_translation.h"
#include "host/http/http_front.h"
#include "host/http/page_assets.h"
#include "host/services/service_answers.h"

namespace dul::host {
namespace {

constexpr std::string_view kPagePrefix = "/page/";

// The page may load its own files and call this host, nothing else: no inline script, no other
// site, no framing by another page.
constexpr const char* kPagePolicy =
    "default-src 'self'; img-src 'self' data:; object-src 'none'; base-uri 'none'; "
    "frame-ancestors 'none'; form-action 'none'";

}  // namespace

bool HttpFront::ServePage(const httplib::Request& request, httplib::Response& response) const {
  if (request.path != "/" && !request.path.starts_with(kPagePrefix))
    return false;
  if (request.method != "GET") {
    WriteReply(ReplyFor(PeerAnswer::MethodNotAllowed(request.method, request.path, "GET")),
               response);
    return true;
  }
  const std::optional<PageAsset> asset = FindPageAsset(request.path);
  if (!asset) {
    WriteReply(ErrorReply(404, "No such page file: " + request.path), response);
    return true;
  }
  // The files change with dul-host itself: the browser asks again each time, and an unchanged
  // file costs it an empty 304.
  response.set_header("Cache-Control", "no-cache");
  response.set_header("ETag", std::string(asset->entityTag));
  response.set_header("X-Content-Type-Options", "nosniff");
  response.set_header("Content-Security-Policy", kPagePolicy);
  response.set_header("Referrer-Policy", "no-referrer");
  if (request.get_header_value("If-None-Match") == asset->entityTag) {
    response.status = 304;
    return true;
  }
  response.set_content(asset->bytes.data(), asset->bytes.size(), std::string(asset->contentType));
  return true;
}

}  // namespace dul::host

// RouteTemplate: a request-path template such as "/dul-item-sets/v1/item-sets/{summonerId}/sets"
// compiled into a small matcher.
//
//   const RouteTemplate route = RouteTemplate::Compile("/files/{+rest}");
//   std::vector<std::string_view> captures;
//   if (route.Match("/files/a/b.txt", captures)) { ... captures[0] == "a/b.txt" ... }
//
// Placeholders: "{name}" captures any run of characters but "/"; "{+name}" (reserved) captures
// any run of characters but line feed and carriage return, so it spans segments; "{#name}"
// (fragment) matches a "#" followed by what a reserved placeholder captures. Every other character
// is matched literally, and the whole path must match. Where several splits of the path fit,
// earlier placeholders take as much as they can (greedy, leftmost first).
//
// Matching is iterative and linear in the path's length for a given template: it never recurses,
// so any path length is safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace dul {

enum class PlaceholderKind : std::uint8_t {
  kSimple = 1,    // "{name}": one path segment
  kReserved = 2,  // "{+name}": may contain "/"
  kFragment = 3,  // "{#name}": "#" and the rest
};

struct RoutePlaceholder {
  std::string name;
  PlaceholderKind kind = PlaceholderKind::kSimple;
};

class RouteTemplate {
 public:
  // Compiles `text`. Inside braces a leading "+" or "#" selects the kind and every other
  // character up to "}" belongs to the name; a "{" that is never closed adds no placeholder.
  static RouteTemplate Compile(std::string_view text);

  const std::string& text() const { return text_; }
  // True when the template has no "{": it matches its own text only.
  bool isLiteral() const { return literal_; }
  // The expression the template stands for, with regular-expression escapes, for diagnostics:
  // "/a/{x}.json" gives "/a/([^/]*)\.json".
  const std::string& pattern() const { return pattern_; }
  // In template order: the n-th capture belongs to the n-th placeholder.
  const std::vector<RoutePlaceholder>& placeholders() const { return placeholders_; }

  // Matches the whole path; on success `captures` holds one view into `path` per placeholder.
  bool Match(std::string_view path, std::vector<std::string_view>& captures) const;

 private:
  enum class PartKind : std::uint8_t { kLiteral, kSegment, kAnyLine };
  struct Part {
    PartKind kind;
    std::string literal;  // for kLiteral
  };

  void AppendLiteral(char c);
  void AppendGroup(PartKind kind);
  // True when part `index` cannot consume path[position]; literal parts never ask.
  bool StopsAt(std::size_t index, char c) const;

  std::string text_;
  std::string pattern_;
  std::vector<Part> parts_;
  std::vector<RoutePlaceholder> placeholders_;
  bool literal_ = true;
};

}  // namespace dul

#include "contract/route_template.h"

#include <cstddef>

namespace dul {
namespace {

constexpr std::string_view kEscapedInPattern = "^$.*+?()[]|\\";

}  // namespace

RouteTemplate RouteTemplate::Compile(std::string_view text) {
  RouteTemplate route;
  route.text_.assign(text);
  bool inPlaceholder = false;
  RoutePlaceholder placeholder;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (!inPlaceholder && c == '{') {
      inPlaceholder = true;
      route.literal_ = false;
      placeholder = RoutePlaceholder{};
      if (i + 1 < text.size() && (text[i + 1] == '+' || text[i + 1] == '#')) {
        placeholder.kind =
            text[i + 1] == '+' ? PlaceholderKind::kReserved : PlaceholderKind::kFragment;
        ++i;
      }
    } else if (inPlaceholder && c == '}') {
      inPlaceholder = false;
      if (placeholder.kind == PlaceholderKind::kFragment)
        route.AppendLiteral('#');
      route.AppendGroup(placeholder.kind == PlaceholderKind::kSimple ? PartKind::kSegment
                                                                     : PartKind::kAnyLine);
      route.placeholders_.push_back(std::move(placeholder));
    } else if (inPlaceholder) {
      placeholder.name.push_back(c);
    } else {
      route.AppendLiteral(c);
    }
  }
  return route;
}

void RouteTemplate::AppendLiteral(char c) {
  if (kEscapedInPattern.find(c) != std::string_view::npos)
    pattern_.push_back('\\');
  pattern_.push_back(c);
  if (parts_.empty() || parts_.back().kind != PartKind::kLiteral)
    parts_.push_back(Part{PartKind::kLiteral, {}});
  parts_.back().literal.push_back(c);
}

void RouteTemplate::AppendGroup(PartKind kind) {
  pattern_ += kind == PartKind::kSegment ? "([^/]*)" : "(.*)";
  parts_.push_back(Part{kind, {}});
}

bool RouteTemplate::StopsAt(std::size_t index, char c) const {
  if (parts_[index].kind == PartKind::kSegment)
    return c == '/';
  return c == '\n' || c == '\r';  // what "." leaves out
}

// Works backwards first: fits[k][p] tells whether parts k.. can match exactly path[p..]. Then
// walks forwards, giving each group the longest run after which the rest still fits; that is the
// split a greedy backtracking matcher would find first, without its recursion or its
// exponential worst case.
bool RouteTemplate::Match(std::string_view path, std::vector<std::string_view>& captures) const {
  captures.clear();
  if (literal_)
    return path == text_;
  const std::size_t n = path.size();
  const std::size_t partCount = parts_.size();
  std::vector<std::vector<bool>> fits(partCount + 1, std::vector<bool>(n + 1, false));
  fits[partCount][n] = true;
  for (std::size_t k = partCount; k-- > 0;) {
    const std::vector<bool>& next = fits[k + 1];
    std::vector<bool>& here = fits[k];
    if (parts_[k].kind == PartKind::kLiteral) {
      const std::string& literal = parts_[k].literal;
      for (std::size_t p = 0; p + literal.size() <= n; ++p) {
        here[p] = next[p + literal.size()] && path.compare(p, literal.size(), literal) == 0;
      }
      continue;
    }
    std::size_t nearestFit = n + 1;  // smallest e >= p where the rest fits
    std::size_t stop = n;            // first character at or after p the group cannot take
    for (std::size_t p = n + 1; p-- > 0;) {
      if (p < n && StopsAt(k, path[p]))
        stop = p;
      if (next[p])
        nearestFit = p;
      here[p] = nearestFit <= stop;
    }
  }
  if (!fits[0][0])
    return false;
  std::size_t position = 0;
  for (std::size_t k = 0; k < partCount; ++k) {
    if (parts_[k].kind == PartKind::kLiteral) {
      position += parts_[k].literal.size();
      continue;
    }
    std::size_t end = position;
    while (end < n && !StopsAt(k, path[end]))
      ++end;
    while (!fits[k + 1][end])
      --end;  // fits[k][position] guarantees a fit at or after position
    captures.push_back(path.substr(position, end - position));
    position = end;
  }
  return true;
}

}  // namespace dul

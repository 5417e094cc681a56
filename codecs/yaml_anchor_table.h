// YamlAnchorTable: the anchors of one YAML document being read, and where each anchored value
// is, so that an alias can copy it.
//
// A value is found by its path from the document root (element indices and member names), not
// by address: elements move when their collection grows. Paths are shared nodes, so each open
// container costs one node however many anchors lie below it. An anchored value is copied aside
// into the table when an alias first uses it, or before a repeated mapping key replaces the
// member holding it; an anchor nested in another one is then found through the outer copy.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "binding/binding_property.h"

namespace Zorv {

class YamlAnchorTable {
 public:
  static constexpr std::int32_t kNoNode = -1;
  static constexpr std::uint32_t kNotFound = UINT32_MAX;

  struct Anchor {
    std::int32_t node = kNoNode;
    std::uint32_t end = 0;         // anchors recorded inside this one are (index, end)
    std::uint64_t valueCount = 0;  // values an alias copy of it creates
    std::uint32_t height = 0;      // containers on the longest path down, itself included
    bool complete = false;
    bool copiedAside = false;  // its value (or an enclosing anchor's) lives in the table
  };

  explicit YamlAnchorTable(const BindingProperty& documentRoot);

  // Path nodes: the document root, an element or a member of the value at `parent`, or a text
  // that lives only in the table (an anchored mapping key).
  std::int32_t RootNode();
  std::int32_t ElementNode(std::int32_t parent, std::uint32_t index);
  std::int32_t MemberNode(std::int32_t parent, std::string_view name);
  std::int32_t OwnTextNode(std::string_view text);

  std::uint32_t Find(std::string_view name);
  // Records a new name (the caller has checked Find) for the value at `node`, still open.
  std::uint32_t Add(std::string_view name, std::int32_t node);
  void Complete(std::uint32_t anchor, std::uint64_t valueCount, std::uint32_t height);
  const Anchor& at(std::uint32_t anchor) const { return anchors_[anchor]; }
  std::uint32_t size() const { return static_cast<std::uint32_t>(anchors_.size()); }

  // The anchored value (a copy kept in the table), valid until the next anchor is used.
  const BindingProperty& Value(std::uint32_t anchor);

  // Remembers that the anchors [begin, end) were recorded inside the value of `member`.
  void NoteAnchorsInside(const BindingProperty* member, std::uint32_t begin, std::uint32_t end);
  // Copies aside the anchored values inside `member`, whose value is about to be replaced.
  void BeforeReplacing(const BindingProperty* member);

 private:
  static constexpr std::uint32_t kMemberStep = UINT32_MAX;

  struct PathNode {
    std::int32_t parent = kNoNode;  // kNoNode for the root and for copies
    std::uint32_t index = kMemberStep;
    std::uint32_t nameOffset = 0;
    std::uint32_t nameLength = 0;
    std::int32_t copy = -1;  // element of copies_ holding the value, when copied aside
  };

  std::int32_t AddNode(const PathNode& node);
  const BindingProperty& Resolve(std::int32_t node);
  void CopyAside(std::uint32_t anchor);

  const BindingProperty& root_;
  BindingProperty copies_;
  std::vector<PathNode> nodes_;
  std::string names_;
  std::vector<Anchor> anchors_;
  std::unordered_map<std::string, std::uint32_t> byName_;
  std::string lookup_;
  std::unordered_map<const BindingProperty*, std::pair<std::uint32_t, std::uint32_t>> inside_;
  std::vector<std::int32_t> chain_;
};

}  // namespace Zorv

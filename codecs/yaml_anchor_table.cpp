#include "codecs/yaml_anchor_table.h"

#include <algorithm>
#include <utility>

namespace Zorv {

YamlAnchorTable::YamlAnchorTable(const BindingProperty& documentRoot) : root_(documentRoot) {}

std::int32_t YamlAnchorTable::AddNode(const PathNode& node) {
  nodes_.push_back(node);
  return static_cast<std::int32_t>(nodes_.size() - 1);
}

std::int32_t YamlAnchorTable::RootNode() {
  return AddNode(PathNode{});
}

std::int32_t YamlAnchorTable::ElementNode(std::int32_t parent, std::uint32_t index) {
  PathNode node;
  node.parent = parent;
  node.index = index;
  return AddNode(node);
}

std::int32_t YamlAnchorTable::MemberNode(std::int32_t parent, std::string_view name) {
  PathNode node;
  node.parent = parent;
  node.nameOffset = static_cast<std::uint32_t>(names_.size());
  node.nameLength = static_cast<std::uint32_t>(name.size());
  names_.append(name);
  return AddNode(node);
}

std::int32_t YamlAnchorTable::OwnTextNode(std::string_view text) {
  PathNode node;
  node.copy = static_cast<std::int32_t>(copies_.Size());
  copies_.PushBack() = text;
  return AddNode(node);
}

std::uint32_t YamlAnchorTable::Find(std::string_view name) {
  lookup_.assign(name);
  const auto found = byName_.find(lookup_);
  return found == byName_.end() ? kNotFound : found->second;
}

std::uint32_t YamlAnchorTable::Add(std::string_view name, std::int32_t node) {
  const std::uint32_t index = size();
  byName_.emplace(std::string(name), index);
  Anchor anchor;
  anchor.node = node;
  anchor.copiedAside = nodes_[node].copy >= 0;
  anchors_.push_back(anchor);
  return index;
}

void YamlAnchorTable::Complete(std::uint32_t anchor, std::uint64_t valueCount,
                               std::uint32_t height) {
  Anchor& entry = anchors_[anchor];
  entry.end = size();
  entry.valueCount = valueCount;
  entry.height = height;
  entry.complete = true;
}

const BindingProperty& YamlAnchorTable::Value(std::uint32_t anchor) {
  // The first use copies the value aside: later uses then cost no walk down its path, and the
  // copy costs no more than the alias copy it serves.
  if (!anchors_[anchor].copiedAside)
    CopyAside(anchor);
  return Resolve(anchors_[anchor].node);
}

const BindingProperty& YamlAnchorTable::Resolve(std::int32_t node) {
  chain_.clear();
  while (nodes_[node].parent != kNoNode) {
    chain_.push_back(node);
    node = nodes_[node].parent;
  }
  const BindingProperty& copies = copies_;
  const BindingProperty* value = nodes_[node].copy >= 0 ? &copies.At(nodes_[node].copy) : &root_;
  for (auto step = chain_.rbegin(); step != chain_.rend(); ++step) {
    const PathNode& path = nodes_[*step];
    value = path.index != kMemberStep
                ? &value->At(path.index)
                : &value->Find(std::string_view(names_).substr(path.nameOffset, path.nameLength));
  }
  return *value;
}

void YamlAnchorTable::NoteAnchorsInside(const BindingProperty* member, std::uint32_t begin,
                                        std::uint32_t end) {
  inside_[member] = {begin, end};
}

void YamlAnchorTable::BeforeReplacing(const BindingProperty* member) {
  const auto found = inside_.find(member);
  if (found == inside_.end())
    return;
  const auto [begin, end] = found->second;
  inside_.erase(found);
  // Anchors are in document order, so those nested in anchor i follow it, up to its end.
  for (std::uint32_t anchor = begin; anchor < end;) {
    if (!anchors_[anchor].copiedAside)
      CopyAside(anchor);
    anchor = std::max(anchor + 1, anchors_[anchor].end);
  }
}

void YamlAnchorTable::CopyAside(std::uint32_t anchor) {
  const std::int32_t node = anchors_[anchor].node;
  const std::int32_t copy = static_cast<std::int32_t>(copies_.Size());
  // Grow first: the value may itself be found through an earlier copy.
  BindingProperty& slot = copies_.PushBack();
  slot = Resolve(node);
  nodes_[node].parent = kNoNode;
  nodes_[node].copy = copy;
  // The nested anchors are found through this copy now; ranges marked before are skipped.
  anchors_[anchor].copiedAside = true;
  for (std::uint32_t inner = anchor + 1; inner < anchors_[anchor].end;) {
    if (anchors_[inner].copiedAside) {
      inner = std::max(inner + 1, anchors_[inner].end);
    } else {
      anchors_[inner].copiedAside = true;
      ++inner;
    }
  }
}

}  // namespace Zorv

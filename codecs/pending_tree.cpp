#include "codecs/pending_tree.h"

#include <algorithm>

namespace Zorv {
namespace {

// Byte order of names; most neighbours differ in their first byte.
bool NameBefore(std::string_view a, std::string_view b) {
  if (!a.empty() && !b.empty() && a[0] != b[0])
    return static_cast<unsigned char>(a[0]) < static_cast<unsigned char>(b[0]);
  return a < b;
}

}  // namespace

PendingTree::PendingTree(BindingProperty& top, BindingProperty& scratch, RepeatedEmpty rule)
    : top_(top), scratch_(scratch), rule_(rule) {
  // Enough for small documents at once; larger ones grow these a few times.
  open_.reserve(16);
  names_.reserve(64);
  members_.reserve(32);
}

// The scratch values start past the sizes the storage pools, so that they leave the storage's
// first blocks (its small arena) to the value being built.
void PendingTree::AddSlot() {
  constexpr std::size_t kFirstSlots = 64;
  if (slots_.empty())
    scratch_.Reserve(kFirstSlots);
  scratch_.PushBack();
  slots_ = scratch_.Elements();
  names_.resize(slots_.size());
}

void PendingTree::Open(bool array) {
  std::size_t index = kTop;
  if (!open_.empty()) {
    NewValue();
    index = count_ - 1;
  }
  const OpenContainer open{index, count_, array};
  if (array)
    ContainerOf(open).SetCollection();
  else
    ContainerOf(open).SetStructure();
  open_.push_back(open);
}

void PendingTree::Close() {
  const OpenContainer open = open_.back();
  open_.pop_back();
  BindingProperty& container = ContainerOf(open);
  if (!open.array)
    return PlaceMembers(container, open.firstValue);
  container.AppendElements(slots_.subspan(open.firstValue, count_ - open.firstValue));
  count_ = open.firstValue;
}

// Names in document order are often sorted already (as our writer gives them); otherwise they are
// sorted, and a name given twice sends the object through the merging path.
void PendingTree::PlaceMembers(BindingProperty& object, std::size_t first) {
  members_.resize(count_ - first);
  BindingMemberSource* member = members_.data();
  bool sorted = true;
  for (std::size_t index = first; index < count_; ++index, ++member) {
    sorted = sorted && (index == first || NameBefore(names_[index - 1], names_[index]));
    *member = {names_[index], &slots_[index]};
  }
  if (!sorted && !SortMembers())
    return MergeRepeatedNames(object, first);
  object.AssignSortedMembers(members_);
  count_ = first;
}

// Sorts members_ by name; false when a name is there twice. An object whose names repeat the last
// ones of its slot takes their order as it is. The slot mixes the member count with the lengths
// of the first and last names, so that objects of different shapes seldom share one.
bool PendingTree::SortMembers() {
  const std::size_t slot =
      members_.size() * 7 + members_.front().name.size() * 3 + members_.back().name.size();
  KnownOrder& known = known_[slot % kKnownOrders];
  if (!RepeatsKnownOrder(known)) {
    order_.clear();
    for (std::size_t i = 0; i < members_.size(); ++i)
      order_.push_back({NamePrefixKey(members_[i].name), i});
    std::sort(order_.begin(), order_.end(), [this](const SortKey& a, const SortKey& b) {
      if (a.prefix != b.prefix)
        return a.prefix < b.prefix;
      const int order = members_[a.index].name.compare(members_[b.index].name);
      return order != 0 ? order < 0 : a.index < b.index;
    });
    for (std::size_t i = 1; i < order_.size(); ++i) {
      if (order_[i - 1].prefix == order_[i].prefix &&
          members_[order_[i - 1].index].name == members_[order_[i].index].name)
        return false;
    }
    RememberOrder(known);
  }
  sorted_.resize(members_.size());
  for (std::size_t i = 0; i < members_.size(); ++i)
    sorted_[i] = members_[known.order[i]];
  members_.swap(sorted_);
  return true;
}

bool PendingTree::RepeatsKnownOrder(const KnownOrder& known) const {
  if (known.nameEnds.size() != members_.size())
    return false;
  std::size_t start = 0;
  for (std::size_t i = 0; i < members_.size(); ++i) {
    if (std::string_view(known.names).substr(start, known.nameEnds[i] - start) != members_[i].name)
      return false;
    start = known.nameEnds[i];
  }
  return true;
}

void PendingTree::RememberOrder(KnownOrder& known) {
  known.names.clear();
  known.nameEnds.clear();
  known.order.clear();
  for (const BindingMemberSource& member : members_) {
    known.names.append(member.name);
    known.nameEnds.push_back(known.names.size());
  }
  for (const SortKey& key : order_)
    known.order.push_back(key.index);
}

void PendingTree::MergeRepeatedNames(BindingProperty& object, std::size_t first) {
  for (std::size_t index = first; index < count_; ++index) {
    MergeInto(object.Member(names_[index]), slots_[index]);
    slots_[index].Clear();
  }
  count_ = first;
}

void PendingTree::MergeInto(BindingProperty& target, BindingProperty& source) {
  switch (source.Kind()) {
    case BindingPropertyKind::kEmpty:
      if (rule_ == RepeatedEmpty::kReplaces)
        target.Clear();
      return;
    case BindingPropertyKind::kStructure:
      target.SetStructure();
      for (const auto& [name, value] : source.Members())
        MergeInto(target.Member(name), value);
      return;
    case BindingPropertyKind::kCollection:
      target.AppendElements(source.Elements());
      return;
    default:
      target = std::move(source);
  }
}

}  // namespace Zorv

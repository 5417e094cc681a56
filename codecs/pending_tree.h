// PendingTree: builds a value for a reader that meets it depth first (the JSON and MessagePack
// readers). Every value below the top is first built among the pending values, the elements of a
// scratch collection in the top's storage, one run per open container, and placed when its
// container closes: an array's elements are appended at once, and an object's members, sorted by
// name, fill its structure in one pass. A name given twice merges its values in document order
// (see RepeatedEmpty). A pending value may move while later ones are added, so an open container
// among them is known by index, not by address.
//
//   PendingTree tree(top, scratch, RepeatedEmpty::kKeepsEarlier);
//   tree.Open(false);              // {
//   tree.Name("a");                //   "a":
//   tree.Next().SetUnsigned(1);    //        1
//   tree.Close();                  // }
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "binding/binding_property.h"

namespace Zorv {

// What a later empty value does to an earlier value of the same name. Either way a later scalar
// replaces the earlier value, a later object merges into it member by member and a later array
// appends its elements.
enum class RepeatedEmpty {
  kKeepsEarlier,  // JSON: a later null leaves the earlier value as it was
  kReplaces,      // MessagePack: a later nil empties the member
};

class PendingTree {
 public:
  // `top` receives the value; `scratch` is an empty collection in the same storage.
  PendingTree(BindingProperty& top, BindingProperty& scratch, RepeatedEmpty rule);

  // Open containers.
  std::size_t depth() const { return open_.size(); }
  // Names the next value of the open object; the text must stay valid until the object closes.
  void Name(std::string_view name) { name_ = name; }
  // Where the next value goes: the top value, or a new pending value (named, in an object).
  BindingProperty& Next() { return open_.empty() ? top_ : NewValue(); }
  // Opens an array or object as the next value.
  void Open(bool array);
  // Places the innermost open container's values into it.
  void Close();

 private:
  struct OpenContainer {
    std::size_t index;       // its place among the pending values; kTop for the top value
    std::size_t firstValue;  // where its own pending values begin
    bool array;
  };
  // A member in sorting: the first 8 bytes of its name (big-endian, zero-padded), then its place
  // in members_.
  struct SortKey {
    std::uint64_t prefix;
    std::size_t index;
  };
  // The name order of the last object out of order among those that fall in the same slot: its
  // names as the document gave them, one after another, and for each place in byte order the member
  // that goes there. Objects of one shape repeat it and then need no sort.
  struct KnownOrder {
    std::string names;
    std::vector<std::size_t> nameEnds;
    std::vector<std::size_t> order;
  };
  static constexpr std::size_t kTop = static_cast<std::size_t>(-1);
  static constexpr std::size_t kKnownOrders = 32;

  BindingProperty& ContainerOf(const OpenContainer& open) {
    return open.index == kTop ? top_ : slots_[open.index];
  }
  BindingProperty& NewValue() {
    const std::size_t index = count_++;
    if (index == slots_.size())
      AddSlot();
    names_[index] = name_;
    return slots_[index];
  }
  void AddSlot();
  void PlaceMembers(BindingProperty& object, std::size_t first);
  bool SortMembers();
  bool RepeatsKnownOrder(const KnownOrder& known) const;
  void RememberOrder(KnownOrder& known);
  void MergeRepeatedNames(BindingProperty& object, std::size_t first);
  void MergeInto(BindingProperty& target, BindingProperty& source);

  BindingProperty& top_;
  BindingProperty& scratch_;
  RepeatedEmpty rule_;
  std::span<BindingProperty> slots_;     // scratch_'s elements, refreshed whenever it grows
  std::vector<std::string_view> names_;  // the name of each pending value that is a member
  std::string_view name_;
  std::size_t count_ = 0;  // pending values in use
  std::vector<OpenContainer> open_;
  std::vector<BindingMemberSource> members_;
  std::vector<BindingMemberSource> sorted_;
  std::vector<SortKey> order_;
  KnownOrder known_[kKnownOrders];
};

}  // namespace Zorv

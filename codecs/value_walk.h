// WalkValueWith: the depth-first walk behind WalkValue, for a visitor whose type is known where it
// is called (a final class of ValueVisitor, say), so that every call is direct and can be inlined.
// It visits in the order value_visitor.h describes and keeps its own stack.
#pragma once

#include <vector>

#include "codecs/value_visitor.h"

namespace Zorv {
namespace value_walk {

// One open container: the rest of its elements or members.
struct OpenContainer {
  const BindingProperty* element = nullptr;
  const BindingProperty* elementsEnd = nullptr;
  BindingMemberIterator<const BindingProperty> member;
  BindingMemberIterator<const BindingProperty> membersEnd;
  bool isArray = false;

  static OpenContainer Of(const BindingProperty& container) {
    OpenContainer open;
    open.isArray = container.Kind() == BindingPropertyKind::kCollection;
    if (open.isArray) {
      const std::span<const BindingProperty> elements = container.Elements();
      open.element = elements.data();
      open.elementsEnd = elements.data() + elements.size();
    } else {
      const BindingMemberRange<const BindingProperty> members = container.Members();
      open.member = members.begin();
      open.membersEnd = members.end();
      // Each member's value is a block of its own: ask for them all before they are read.
      for (auto member = open.member; member != open.membersEnd; ++member)
        __builtin_prefetch(&(*member).value);
    }
    return open;
  }
};

// The open containers of a walk: on the thread's stack while the value is shallow.
class OpenStack {
 public:
  bool empty() const { return size_ == 0; }
  OpenContainer& back() { return size_ <= kInline ? inline_[size_ - 1] : deep_.back(); }
  void push_back(const OpenContainer& open) {
    if (size_ < kInline)
      inline_[size_] = open;
    else
      deep_.push_back(open);
    ++size_;
  }
  void pop_back() {
    if (size_-- > kInline)
      deep_.pop_back();
  }

 private:
  static constexpr std::size_t kInline = 16;
  OpenContainer inline_[kInline];
  std::vector<OpenContainer> deep_;
  std::size_t size_ = 0;
};

// Visits a scalar and returns false; for a container, reports its start and returns true.
template <typename Visitor>
bool VisitOrStart(const BindingProperty& value, Visitor& visitor) {
  switch (value.Kind()) {
    case BindingPropertyKind::kEmpty:
      visitor.Null();
      return false;
    case BindingPropertyKind::kBool:
      visitor.Bool(value.GetBool(false));
      return false;
    case BindingPropertyKind::kSigned:
      visitor.Int64(value.GetSigned(0));
      return false;
    case BindingPropertyKind::kUnsigned:
      visitor.Uint64(value.GetUnsigned(0));
      return false;
    case BindingPropertyKind::kFloat:
      visitor.Double(value.GetDouble(0));
      return false;
    case BindingPropertyKind::kString:
      visitor.String(value.GetString());
      return false;
    case BindingPropertyKind::kBlob:
      visitor.Blob(value.GetBlob());
      return false;
    case BindingPropertyKind::kEnum:
      visitor.Enum(value.GetEnum());
      return false;
    case BindingPropertyKind::kCollection:
      visitor.StartArray(value.Elements().size());
      return true;
    case BindingPropertyKind::kStructure:
      visitor.StartObject(value.Size());
      return true;
  }
  return false;
}

}  // namespace value_walk

template <typename Visitor>
void WalkValueWith(const BindingProperty& value, Visitor& visitor) {
  using value_walk::OpenContainer;
  if (!value_walk::VisitOrStart(value, visitor))
    return;
  value_walk::OpenStack stack;
  stack.push_back(OpenContainer::Of(value));
  while (!stack.empty()) {
    OpenContainer& top = stack.back();
    const BindingProperty* child;
    if (top.isArray && top.element != top.elementsEnd) {
      visitor.BeginElement();
      child = top.element++;
    } else if (!top.isArray && top.member != top.membersEnd) {
      const BindingMemberView<const BindingProperty> member = *top.member;
      visitor.Key(member.name);
      child = &member.value;
      ++top.member;
    } else {
      top.isArray ? visitor.EndArray() : visitor.EndObject();
      stack.pop_back();
      if (!stack.empty())
        stack.back().isArray ? visitor.EndElement() : visitor.EndMember();
      continue;
    }
    if (value_walk::VisitOrStart(*child, visitor))
      stack.push_back(OpenContainer::Of(*child));  // `top` is not used after this
    else
      top.isArray ? visitor.EndElement() : visitor.EndMember();
  }
}

}  // namespace Zorv

#include <vector>

#include "codecs/value_visitor.h"

namespace Zorv {
namespace {

// One open container of the walk: the next element or member to visit.
struct OpenContainer {
  const BindingProperty* container;
  std::size_t next;
  BindingMemberIterator<const BindingProperty> member;
};

// Visits a scalar; for a container, reports its start and returns true so that the caller opens it.
bool VisitOne(const BindingProperty& value, ValueVisitor& visitor) {
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
      visitor.StartArray(value.Size());
      return true;
    case BindingPropertyKind::kStructure:
      visitor.StartObject(value.Size());
      return true;
  }
  return false;
}

OpenContainer Open(const BindingProperty& container) {
  OpenContainer open{&container, 0, {}};
  if (container.Kind() == BindingPropertyKind::kStructure) open.member = container.Members().begin();
  return open;
}

}  // namespace

void WalkValue(const BindingProperty& value, ValueVisitor& visitor) {
  if (!VisitOne(value, visitor)) return;
  std::vector<OpenContainer> stack;
  stack.push_back(Open(value));
  while (!stack.empty()) {
    OpenContainer& top = stack.back();
    const BindingProperty* child = nullptr;
    const bool isArray = top.container->Kind() == BindingPropertyKind::kCollection;
    if (isArray && top.next < top.container->Size()) {
      visitor.BeginElement();
      child = &top.container->Elements()[top.next++];
    } else if (!isArray && top.member != top.container->Members().end()) {
      visitor.Key((*top.member).name);
      child = &(*top.member).value;
      ++top.member;
    }
    if (child == nullptr) {
      isArray ? visitor.EndArray() : visitor.EndObject();
      stack.pop_back();
      if (!stack.empty()) {
        stack.back().container->Kind() == BindingPropertyKind::kCollection ? visitor.EndElement()
                                                                           : visitor.EndMember();
      }
      continue;
    }
    if (VisitOne(*child, visitor)) {
      stack.push_back(Open(*child));
    } else {
      isArray ? visitor.EndElement() : visitor.EndMember();
    }
  }
}

}  // namespace Zorv

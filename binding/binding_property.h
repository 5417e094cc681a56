// BindingProperty: the dynamically typed value in which data crosses the plugin boundary: request
// arguments and bodies, responses, event payloads, help texts and conversion errors.
//
//   BindingProperty set;
//   set.Member("title") = "Jungle";
//   set.Member("blocks").PushBack().Member("count") = 2;
//   for (const auto& [name, value] : set.Members()) { ... }       // in byte-wise name order
//   const BindingProperty& view = set;
//   std::int64_t count = view.Find("blocks").At(0).Find("count").GetSigned(0);
//
// When not to use it: for data that stays inside the plugin. Native records are smaller, faster
// and checked by the compiler; convert at the edge.
//
// Reading. Typed getters return their default unless the kind matches exactly; they never convert
// (an unsigned value read with GetSigned gives the default). AsBool is the one lenient reading.
// The non-const At and Member turn the value into a collection or structure (discarding what it
// held) and grow it; the const At and Find never change anything and return the shared immutable
// EmptyValue() when there is nothing to return. Read through a const reference.
//
// Copies are deep and explicit: the copy constructor is explicit; `a = b` and Clone() copy the
// whole tree. Moves are cheap. Copying a value onto itself does nothing.
//
// Storage lifetime. Strings, blobs, enum cells, collections and structures live in a
// BindingStorage that belongs to exactly one root value (a value declared by code, as opposed to
// an element or member, which are children):
//  - a root creates its storage the first time it needs one, keeps it across Clear (which hands
//    all its pages back) and frees it when destroyed; moving a root into a root hands it over;
//  - children use their root's storage, live in its blocks and are released with it; moving a
//    child into a value of another storage copies it.
// A storage is never shared by two roots; nothing in it is locked, so a root and its children
// belong to one thread at a time. Hand a tree to another thread by moving its root. When memory
// for a block cannot be obtained the process ends (FatalError): no operation here reports failure.
//
// References. A reference to a member stays valid until its structure is cleared or replaced; a
// reference to a collection element is invalidated when the collection grows (as with
// std::vector). A value must never be moved into one of its own descendants.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "binding/binding_property_kind.h"
#include "binding/storage/interned_text.h"

namespace Zorv {

class BindingProperty;
class BindingStorage;
class MemberMap;
template <typename Value>
class BindingMemberRange;

// The payload of an "enum" value: the number and the identity of its enum type.
struct BindingEnumCell {
  std::int32_t value = 0;
  std::uint32_t typeIdentity = 0;
  friend bool operator==(const BindingEnumCell&, const BindingEnumCell&) = default;
};

// The block of a "blob" value; the bytes come from the counting allocator.
struct BindingByteBlock {
  std::uint8_t* bytes;
  std::size_t size;
};

// One member handed to AssignMembers: its name and the value to move in.
struct BindingMemberSource {
  std::string_view name;
  BindingProperty* value;
};

// Where a record's field stands among the members that records of its type give: how many there
// are and its place in name order. Records of one type repeat their names, so the storage compares
// a name with that of the last such record before it interns one.
struct BindingMemberShape {
  std::size_t count;
  std::size_t position;
};

// The block of a "collection" value; the elements come from the storage's pools or, when many,
// from the counting allocator.
struct BindingElementBlock {
  BindingProperty* elements;
  std::uint32_t size;
  std::uint32_t capacity;
};

class BindingProperty {
 public:
  constexpr BindingProperty() noexcept {}
  BindingProperty(bool value) noexcept : kind_(BindingPropertyKind::kBool) {
    payload_.boolean = value;
  }
  template <std::integral T>
  requires(!std::same_as<T, bool>) BindingProperty(T value)
  noexcept { StoreInteger(value); }
  BindingProperty(double value) noexcept : kind_(BindingPropertyKind::kFloat) {
    payload_.float64 = value;
  }
  BindingProperty(float value) noexcept : BindingProperty(static_cast<double>(value)) {}
  BindingProperty(const char* text);  // null is the empty string
  BindingProperty(std::string_view text);
  BindingProperty(const std::string& text) : BindingProperty(std::string_view(text)) {}
  BindingProperty(std::span<const std::uint8_t> bytes);
  BindingProperty(const std::vector<std::uint8_t>& bytes)
      : BindingProperty(std::span<const std::uint8_t>(bytes)) {}
  BindingProperty(BindingEnumCell cell);
  // Any pointer but a text would otherwise become a bool without a word.
  template <typename T>
  requires(!std::same_as<std::remove_cv_t<T>, char>) BindingProperty(T*)
  = delete;

  explicit BindingProperty(const BindingProperty& other);
  BindingProperty(BindingProperty&& other) noexcept;
  BindingProperty& operator=(const BindingProperty& other);
  BindingProperty& operator=(BindingProperty&& other) noexcept;
  ~BindingProperty();

  BindingProperty& operator=(bool value) { return SetBool(value); }
  template <std::integral T>
  requires(!std::same_as<T, bool>) BindingProperty& operator=(T value) {
    Clear();
    StoreInteger(value);
    return *this;
  }
  BindingProperty& operator=(double value) { return SetDouble(value); }
  BindingProperty& operator=(float value) { return SetDouble(value); }
  BindingProperty& operator=(const char* text) { return SetString(text ? text : ""); }
  BindingProperty& operator=(std::string_view text) { return SetString(text); }
  BindingProperty& operator=(const std::string& text) { return SetString(text); }
  BindingProperty& operator=(std::span<const std::uint8_t> bytes) { return SetBlob(bytes); }
  BindingProperty& operator=(const std::vector<std::uint8_t>& bytes) { return SetBlob(bytes); }
  BindingProperty& operator=(BindingEnumCell cell) { return SetEnum(cell); }
  template <typename T>
  requires(!std::same_as<std::remove_cv_t<T>, char>) BindingProperty& operator=(T*) = delete;

  BindingProperty& SetBool(bool value);
  BindingProperty& SetSigned(std::int64_t value);
  BindingProperty& SetUnsigned(std::uint64_t value);
  BindingProperty& SetDouble(double value);
  BindingProperty& SetString(std::string_view text);
  BindingProperty& SetBlob(std::span<const std::uint8_t> bytes);
  BindingProperty& SetEnum(BindingEnumCell cell);

  // A deep copy as a new root with a storage of its own.
  BindingProperty Clone() const { return BindingProperty(*this); }

  // Releases the payload (recursively) and makes the value "empty".
  void Clear() noexcept {
    if (kind_ != BindingPropertyKind::kEmpty)
      ClearPayload();
  }

  BindingPropertyKind Kind() const { return kind_; }
  std::string_view KindName() const { return BindingPropertyKindName(kind_); }
  bool IsEmpty() const { return kind_ == BindingPropertyKind::kEmpty; }

  bool GetBool(bool defaultValue) const {
    return kind_ == BindingPropertyKind::kBool ? payload_.boolean : defaultValue;
  }
  std::int64_t GetSigned(std::int64_t defaultValue) const {
    return kind_ == BindingPropertyKind::kSigned ? payload_.signed64 : defaultValue;
  }
  std::uint64_t GetUnsigned(std::uint64_t defaultValue) const {
    return kind_ == BindingPropertyKind::kUnsigned ? payload_.unsigned64 : defaultValue;
  }
  double GetDouble(double defaultValue) const {
    return kind_ == BindingPropertyKind::kFloat ? payload_.float64 : defaultValue;
  }
  // The view's bytes are followed by a NUL and live as long as the value is unchanged.
  std::string_view GetString(std::string_view defaultValue = {}) const {
    return kind_ == BindingPropertyKind::kString ? payload_.text->view() : defaultValue;
  }
  std::span<const std::uint8_t> GetBlob(std::span<const std::uint8_t> defaultValue = {}) const {
    return kind_ == BindingPropertyKind::kBlob
               ? std::span<const std::uint8_t>(payload_.blob->bytes, payload_.blob->size)
               : defaultValue;
  }
  BindingEnumCell GetEnum(BindingEnumCell defaultValue = {}) const {
    return kind_ == BindingPropertyKind::kEnum ? *payload_.enumCell : defaultValue;
  }

  // 0 for "empty"; bytes of a string or blob; elements or members; 1 for the other kinds.
  std::size_t Size() const;
  // Truthiness, for flags read leniently: a string is true only for exactly "true" and "1".
  bool AsBool() const;

  // Collections.
  BindingProperty& At(std::size_t index);
  const BindingProperty& At(std::size_t index) const;
  BindingProperty& PushBack();
  void Reserve(std::size_t capacity);
  // Appends the values, moving each in; the collection grows once. For readers that gather a
  // collection's elements before they place them.
  void AppendElements(std::span<BindingProperty> values);
  void SetCollection();
  std::span<BindingProperty> Elements();
  std::span<const BindingProperty> Elements() const;

  // Structures.
  BindingProperty& Member(std::string_view name);
  // Member, for a name that sorts after every member present, as a record's fields written in
  // name order into an empty structure do (other names would break the structure's order).
  BindingProperty& AppendMember(std::string_view name, BindingMemberShape shape);
  const BindingProperty& Find(std::string_view name) const;
  bool Contains(std::string_view name) const;
  void SetStructure();
  // SetStructure, and when the structure is empty, readies it for `count` members given in name
  // order (they then take one block of the right size instead of growing through smaller ones).
  void ReserveMembers(std::size_t count);
  // Makes this value a structure of exactly these members, moving each value in. Names in
  // strictly ascending byte order are placed in one pass, as a reader that sorted them gives
  // them; otherwise they are inserted one by one and a repeated name keeps its last value. The
  // names and values must not lie in what this value holds now.
  void AssignMembers(std::span<const BindingMemberSource> members);
  // The one-pass case of AssignMembers, for a reader that has already found the names in strictly
  // ascending byte order (other input would break the structure's order).
  void AssignSortedMembers(std::span<const BindingMemberSource> members);
  BindingMemberRange<BindingProperty> Members();
  BindingMemberRange<const BindingProperty> Members() const;

  // Deep equality: same kind and content; members compared in name order; NaN is unequal.
  friend bool operator==(const BindingProperty& left, const BindingProperty& right);

  // The storage this value uses, or null while it needs none (for diagnostics and tests).
  const BindingStorage* Storage() const { return storage_; }
  bool IsRoot() const { return !child_; }

  // The shared, immutable "empty" value that read-only access returns.
  static const BindingProperty& EmptyValue();

 private:
  friend class MemberMap;
  struct ChildTag {};

  BindingProperty(BindingStorage* storage, ChildTag) noexcept : storage_(storage), child_(true) {}
  BindingProperty(BindingStorage* storage, ChildTag, const BindingProperty& scalar) noexcept
      : payload_(scalar.payload_), storage_(storage), kind_(scalar.kind_), child_(true) {}

  template <typename T>
  void StoreInteger(T value) {
    if constexpr (std::is_signed_v<T>) {
      kind_ = BindingPropertyKind::kSigned;
      payload_.signed64 = value;
    } else {
      kind_ = BindingPropertyKind::kUnsigned;
      payload_.unsigned64 = value;
    }
  }

  // True when the payload lives in the storage (every heap kind but the empty string).
  bool UsesStorage() const {
    return kind_ >= BindingPropertyKind::kString &&
           !(kind_ == BindingPropertyKind::kString && payload_.text->length == 0);
  }
  BindingStorage& EnsureStorage();
  void StoreString(std::string_view text);
  void StoreBlob(std::span<const std::uint8_t> bytes);
  void StoreBlobBytes(std::uint8_t* bytes, std::size_t size);
  void StoreEnum(BindingEnumCell cell);
  void BecomeCollection();
  void BecomeStructure();
  void GrowElements(std::size_t capacity);
  void FreeElements(BindingProperty* elements, std::size_t capacity) noexcept;
  // Releases the payload block by block, for a child or a value sharing its storage.
  void ReleaseContents() noexcept;
  void ClearPayload() noexcept;
  void ClearAndResetStorage() noexcept;
  // Copies `source` into this empty value, interning strings in this value's storage.
  void CopyContentsFrom(const BindingProperty& source);
  void CopyElementsFrom(const BindingElementBlock& source);
  void TakeSameStorage(BindingProperty& source) noexcept;
  // Moves `source` into this empty child: bitwise when it needs no storage or shares this one.
  void TakeMember(BindingProperty& source) {
    if (source.UsesStorage() && source.storage_ != storage_) {
      *this = std::move(source);
      return;
    }
    payload_ = source.payload_;
    kind_ = source.kind_;
    source.kind_ = BindingPropertyKind::kEmpty;
    source.payload_.bits = 0;
  }

  union Payload {
    std::uint64_t bits;
    bool boolean;
    std::int64_t signed64;
    std::uint64_t unsigned64;
    double float64;
    InternedText* text;
    BindingByteBlock* blob;
    BindingEnumCell* enumCell;
    BindingElementBlock* collection;
    MemberMap* structure;
  };

  Payload payload_{0};
  BindingStorage* storage_ = nullptr;
  BindingPropertyKind kind_ = BindingPropertyKind::kEmpty;
  bool child_ = false;
};

static_assert(sizeof(BindingProperty) == (sizeof(void*) == 4 ? 16 : 24),
              "a value is an 8-byte payload, a storage pointer and the kind byte");

// One member of a structure: its name and its value, in a block of its own so that a reference to
// the value stays valid while the structure grows (see member_map.h).
struct MemberCell {
  InternedText* name;
  BindingProperty value;
};

}  // namespace Zorv

#include "binding/member_map.h"

namespace Zorv {

// Inline: the writers' walk asks every collection for its elements.
inline std::span<BindingProperty> BindingProperty::Elements() {
  if (kind_ != BindingPropertyKind::kCollection)
    return {};
  return {payload_.collection->elements, payload_.collection->size};
}

inline std::span<const BindingProperty> BindingProperty::Elements() const {
  if (kind_ != BindingPropertyKind::kCollection)
    return {};
  return {payload_.collection->elements, payload_.collection->size};
}

inline BindingMemberRange<BindingProperty> BindingProperty::Members() {
  if (kind_ != BindingPropertyKind::kStructure)
    return {};
  return {payload_.structure->slotsBegin(), payload_.structure->slotsEnd()};
}

inline BindingMemberRange<const BindingProperty> BindingProperty::Members() const {
  if (kind_ != BindingPropertyKind::kStructure)
    return {};
  return {payload_.structure->slotsBegin(), payload_.structure->slotsEnd()};
}

}  // namespace Zorv

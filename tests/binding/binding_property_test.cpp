#include "binding/binding_property.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding/binding_storage.h"
#include "binding/storage/page_source.h"
#include "foundation/allocation_counters.h"

namespace Zorv {
namespace {

using Kind = BindingPropertyKind;

// Catches a pointer that is not a text turning into a bool, and a text pointer that no longer
// converts.
static_assert(!std::is_constructible_v<BindingProperty, int*>);
static_assert(!std::is_constructible_v<BindingProperty, const BindingProperty*>);
static_assert(!std::is_assignable_v<BindingProperty&, void*>);
static_assert(std::is_convertible_v<const char*, BindingProperty>);
static_assert(std::is_convertible_v<char*, BindingProperty>);
static_assert(std::is_assignable_v<BindingProperty&, char*>);
static_assert(std::is_assignable_v<BindingProperty&, decltype(nullptr)>);

const std::vector<std::uint8_t> kBytes = {1, 2, 0, 255};

struct KindCase {
  BindingProperty value;
  Kind kind;
  std::string_view name;
  std::size_t size;
};

std::vector<KindCase> KindCases() {
  std::vector<KindCase> cases;
  const auto add = [&](BindingProperty value, Kind kind, std::string_view name, std::size_t size) {
    cases.push_back({std::move(value), kind, name, size});
  };
  add(BindingProperty(), Kind::kEmpty, "empty", 0);
  add(true, Kind::kBool, "bool", 1);
  add(-5, Kind::kSigned, "signed", 1);
  add(5u, Kind::kUnsigned, "unsigned", 1);
  add(2.5f, Kind::kFloat, "float", 1);
  add("abc", Kind::kString, "string", 3);
  add(kBytes, Kind::kBlob, "blob", 4);
  add(BindingEnumCell{3, 77}, Kind::kEnum, "enum", 1);
  BindingProperty collection;
  collection.PushBack() = 1;
  collection.PushBack() = 2;
  add(std::move(collection), Kind::kCollection, "collection", 2);
  BindingProperty structure;
  structure.Member("a") = 1;
  add(std::move(structure), Kind::kStructure, "structure", 1);
  return cases;
}

// Catches a constructor storing the wrong kind, a wrong Size, or a getter that converts.
TEST(BindingProperty, EachKindReadsOnlyAsItself) {
  for (const KindCase& c : KindCases()) {
    SCOPED_TRACE(c.name);
    const BindingProperty& v = c.value;
    EXPECT_EQ(v.Kind(), c.kind);
    EXPECT_EQ(v.KindName(), c.name);
    EXPECT_EQ(v.Size(), c.size);
    EXPECT_EQ(v.GetBool(false), c.kind == Kind::kBool);
    EXPECT_EQ(v.GetSigned(99), c.kind == Kind::kSigned ? -5 : 99);
    EXPECT_EQ(v.GetUnsigned(99), c.kind == Kind::kUnsigned ? 5u : 99u);
    EXPECT_EQ(v.GetDouble(9.5), c.kind == Kind::kFloat ? 2.5 : 9.5);
    EXPECT_EQ(v.GetString("none"), c.kind == Kind::kString ? "abc" : "none");
    EXPECT_EQ(v.GetBlob().size(), c.kind == Kind::kBlob ? 4u : 0u);
    EXPECT_EQ(v.GetEnum({-1, 0}).value, c.kind == Kind::kEnum ? 3 : -1);
  }
}

// Catches lenient readings that accept near-miss texts or treat NaN as a non-zero number.
TEST(BindingProperty, AsBoolFollowsEachKindsRule) {
  const std::pair<BindingProperty, bool> cases[] = {
      {BindingProperty(), false},
      {false, false},
      {true, true},
      {0, false},
      {-1, true},
      {std::uint64_t{0}, false},
      {std::uint64_t{1} << 63, true},
      {0.0, false},
      {-0.0, false},
      {std::nan(""), false},
      {0.25, true},
      {"true", true},
      {"1", true},
      {"True", false},
      {"yes", false},
      {" true", false},
      {"true ", false},
      {"01", false},
      {"", false},
      {std::vector<std::uint8_t>{}, false},
      {kBytes, true},
      {BindingEnumCell{0, 1}, false},
      {BindingEnumCell{-2, 1}, true},
  };
  for (const auto& [value, expected] : cases)
    EXPECT_EQ(value.AsBool(), expected) << value.KindName() << " " << value.GetString();
  BindingProperty containers;
  EXPECT_FALSE(BindingProperty(containers).AsBool());
  containers.SetCollection();
  EXPECT_FALSE(containers.AsBool());
  containers.PushBack();
  EXPECT_TRUE(containers.AsBool());
  containers.SetStructure();
  EXPECT_FALSE(containers.AsBool());
  containers.Member("x");
  EXPECT_TRUE(containers.AsBool());
}

// Catches mutable access that keeps the old payload or fails to grow with empty elements.
TEST(BindingProperty, MutableAccessConvertsAndGrows) {
  BindingProperty number = 5;
  number.Member("a") = 1;
  EXPECT_EQ(number.Kind(), Kind::kStructure);
  EXPECT_EQ(number.Size(), 1u);

  BindingProperty list;
  list.At(3) = "last";
  ASSERT_EQ(list.Kind(), Kind::kCollection);
  ASSERT_EQ(list.Size(), 4u);
  for (std::size_t i = 0; i < 3; ++i)
    EXPECT_TRUE(list.Elements()[i].IsEmpty());
  EXPECT_EQ(list.Elements()[3].GetString(), "last");
  EXPECT_EQ(list.Elements()[0].Storage(), list.Storage());
  EXPECT_FALSE(list.Elements()[0].IsRoot());
}

// Catches read-only access that changes the value or returns something other than "empty".
TEST(BindingProperty, ReadOnlyAccessNeverChangesTheValue) {
  const BindingProperty text = "abc";
  EXPECT_TRUE(text.At(0).IsEmpty());
  EXPECT_TRUE(text.Find("a").IsEmpty());
  EXPECT_FALSE(text.Contains("a"));
  EXPECT_EQ(text.GetString(), "abc");

  BindingProperty list;
  list.PushBack() = 1;
  const BindingProperty& view = list;
  EXPECT_EQ(&view.At(1), &BindingProperty::EmptyValue());
  EXPECT_EQ(view.At(0).GetSigned(0), 1);
  EXPECT_EQ(list.Size(), 1u);
}

// Catches member order that is case-folded, insertion-ordered or signed-char ordered, and names
// that agree on their first eight bytes taken for one another.
TEST(BindingProperty, MembersWalkInByteOrder) {
  BindingProperty value;
  const std::vector<std::string> inserted = {
      "b", "abcdefghij", "a", "B", "\xC3\xA9", "abcdefgh", "z", "", "abcdefghik", "abcdefghi"};
  for (const std::string& name : inserted)
    value.Member(name) = name;
  std::vector<std::string> names;
  for (const auto& [name, member] : std::as_const(value).Members()) {
    EXPECT_EQ(member.GetString(), name);
    names.emplace_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"", "B", "a", "abcdefgh", "abcdefghi", "abcdefghij",
                                             "abcdefghik", "b", "z", "\xC3\xA9"}));
  for (const std::string& name : inserted)
    EXPECT_EQ(std::as_const(value).Find(name).GetString(), name);
  EXPECT_TRUE(std::as_const(value).Find("abcdefghiz").IsEmpty());
}

// Catches chunk splits that lose, duplicate or misorder members, and member references that
// move when other members are inserted.
TEST(BindingProperty, ManyMembersInRandomOrderMatchAnOrderedMap) {
  std::mt19937 random(7);
  std::map<std::string, std::int64_t> expected;
  BindingProperty value;
  BindingProperty& anchor = value.Member("m");
  anchor = -1;
  expected["m"] = -1;
  for (int i = 0; i < 20000; ++i) {
    const std::string name = "k" + std::to_string(random() % 9000);
    value.Member(name) = i;
    expected[name] = i;
  }
  EXPECT_EQ(anchor.GetSigned(0), -1);
  ASSERT_EQ(value.Size(), expected.size());
  auto model = expected.begin();
  for (const auto& [name, member] : value.Members()) {
    ASSERT_EQ(name, model->first);
    EXPECT_EQ(member.GetSigned(0), model->second);
    ++model;
  }
  const BindingProperty& view = value;
  for (const auto& [name, number] : expected)
    EXPECT_EQ(view.Find(name).GetSigned(0), number) << name;
  EXPECT_TRUE(view.Find("k9000").IsEmpty());
}

// Catches strings stored once per value instead of once per storage, or a cell freed while
// another value still refers to it.
TEST(BindingProperty, EqualTextsShareOneCountedCell) {
  BindingProperty list;
  list.PushBack() = "shared";
  list.PushBack() = std::string("shared");
  const InternTable& texts = list.Storage()->texts();
  const InternedText* cell = texts.Find("shared");
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(texts.size(), 1u);
  EXPECT_EQ(cell->references, 2u);
  EXPECT_EQ(list.Elements()[0].GetString().data(), list.Elements()[1].GetString().data());

  list.At(0).Clear();
  EXPECT_EQ(cell->references, 1u);
  EXPECT_EQ(list.Elements()[1].GetString(), "shared");
  list.At(1) = 3;
  EXPECT_EQ(texts.Find("shared"), nullptr);
  EXPECT_EQ(texts.size(), 0u);
  EXPECT_EQ(texts.bucketCount(), InternTable::kInitialBuckets);
}

BindingProperty SampleTree() {
  BindingProperty tree;
  tree.Member("name") = "Jungle";
  tree.Member("bytes") = kBytes;
  tree.Member("mood") = BindingEnumCell{2, 9};
  BindingProperty& blocks = tree.Member("blocks");
  for (int i = 0; i < 3; ++i) {
    BindingProperty& block = blocks.PushBack();
    block.Member("id") = i;
    block.Member("name") = "Jungle";
  }
  return tree;
}

// Catches shallow copies: a copy sharing blocks or storage with its source.
TEST(BindingProperty, DeepCopiesAreIndependent) {
  BindingProperty source = SampleTree();
  BindingProperty copy(source);
  EXPECT_EQ(copy, source);
  EXPECT_NE(copy.Storage(), source.Storage());
  copy.Member("blocks").At(1).Member("id") = 42;
  copy.Member("name") = "Lane";
  EXPECT_EQ(source.Find("blocks").At(1).Find("id").GetSigned(0), 1);
  EXPECT_EQ(source.Find("name").GetString(), "Jungle");
  source.Clear();
  EXPECT_EQ(copy.Find("blocks").At(2).Find("name").GetString(), "Jungle");
  EXPECT_EQ(copy.Find("bytes").GetBlob().size(), kBytes.size());
}

// Catches copies and moves between a value and its own parts releasing their source first.
TEST(BindingProperty, CopiesAndMovesWithinOneTreeKeepTheirSource) {
  BindingProperty tree = SampleTree();
  const BindingProperty expected = SampleTree();
  const BindingProperty& alias = tree;
  tree = alias;
  EXPECT_EQ(tree, expected);

  tree.Member("again") = tree;  // a tree copied into one of its own members
  BindingProperty expectedCopy = SampleTree();
  expectedCopy.Member("again");
  EXPECT_EQ(tree.Find("again"), expectedCopy);
  tree = tree.Find("again").Find("blocks");  // a part copied over its whole tree
  EXPECT_EQ(tree, expected.Find("blocks"));

  tree = std::move(tree.At(2));
  EXPECT_EQ(tree, expected.Find("blocks").At(2));
  tree = tree.Find("name").GetString();
  EXPECT_EQ(tree.GetString(), "Jungle");
  tree.Member(tree.GetString()) = 1;
  EXPECT_TRUE(tree.Contains("Jungle"));
}

// Catches moves that leave two roots on one storage or lose the tree.
TEST(BindingProperty, MovingARootHandsItsStorageOver) {
  BindingProperty source = SampleTree();
  const BindingStorage* storage = source.Storage();
  BindingProperty target(std::move(source));
  EXPECT_EQ(target.Storage(), storage);
  EXPECT_EQ(source.Storage(), nullptr);
  EXPECT_TRUE(source.IsEmpty());

  BindingProperty other = "x";
  other = std::move(target);
  EXPECT_EQ(other.Storage(), storage);
  EXPECT_EQ(other, SampleTree());

  BindingProperty child(std::move(other.Member("blocks")));  // a child moved out is copied
  EXPECT_NE(child.Storage(), storage);
  EXPECT_EQ(child.Size(), 3u);
  EXPECT_TRUE(other.Find("blocks").IsEmpty());
}

std::uint64_t LiveBytes() {
  const dul::AllocationStats stats = dul::ReadAllocationStats();
  return stats.bytesAllocated - stats.bytesFreed;
}

void BuildWideTree(BindingProperty& value) {
  for (int i = 0; i < 3000; ++i) {
    BindingProperty& item = value.Member("item" + std::to_string(i * 7919 % 3000));
    item.Member("text") = std::string(i % 300, 'x');
    item.Member("list").At(i % 5) = kBytes;
  }
}

// Catches memory kept after a value is cleared: counting-allocator bytes and pool pages, whether
// the tree is released block by block or reset at once.
TEST(BindingProperty, ClearingReturnsEveryByteAndPage) {
  PageSource& pages = PageSource::Instance();
  const std::size_t pagesBefore = pages.PagesInUse();
  const std::uint64_t bytesBefore = LiveBytes();
  {
    BindingProperty value;
    BuildWideTree(value);
    value.Clear();
    EXPECT_EQ(pages.PagesInUse(), pagesBefore);
    BuildWideTree(value);
    for (int i = 0; i < 3000; i += 2)
      value.Member("item" + std::to_string(i)).Clear();
    value.Member("item1").Member("list") = 0;
  }
  EXPECT_EQ(LiveBytes(), bytesBefore);
  EXPECT_EQ(pages.PagesInUse(), pagesBefore);
}

// Catches a small tree that takes a page per block size, or blocks of its shared first kilobytes
// that are lost (or handed to the page pools) when freed instead of being taken again.
TEST(BindingProperty, SmallTreeTakesNoPageAndReusesFreedBlocks) {
  PageSource& pages = PageSource::Instance();
  const std::size_t pagesBefore = pages.PagesInUse();
  BindingProperty value;
  value.Member("name") = "a name long enough for a larger cell";
  std::uint64_t settled = 0;
  for (int round = 0; round < 2000; ++round) {
    BindingProperty& list = value.Member("list");
    for (int i = 0; i < 20; ++i)
      list.PushBack().Member("id") = std::to_string(round * 20 + i);
    value.Member("nested").Member("x") = round;
    list.Clear();
    if (round == 0)
      settled = LiveBytes();
  }
  EXPECT_EQ(pages.PagesInUse(), pagesBefore);
  EXPECT_EQ(LiveBytes(), settled);
  EXPECT_EQ(value.Find("nested").Find("x").GetSigned(-1), 1999);
}

// Catches a root that skips freeing heap blocks below it, whatever holds them: the root itself, a
// member, an element, or a member that has since moved.
TEST(BindingProperty, EveryShapeOfTreeFreesItsHeapBlocks) {
  const std::function<void(BindingProperty&)> shapes[] = {
      [](BindingProperty& v) {
        for (int i = 0; i < 1000; ++i)
          v.PushBack() = i;
      },
      [](BindingProperty& v) {
        for (int i = 0; i < 1000; ++i)
          v.Member(std::to_string(i)) = i;
      },
      [](BindingProperty& v) { v.Member("only").PushBack() = kBytes; },
      [](BindingProperty& v) { v = kBytes; },
      [](BindingProperty& v) {
        v.Member("a").At(2) = std::string(500, 'y');
        v.Member("b") = std::move(v.Member("a"));
        v.Member("c") = v.Find("b");
      },
  };
  for (const auto& build : shapes) {
    const std::uint64_t before = LiveBytes();
    {
      BindingProperty value;
      build(value);
      value.Clear();
      const std::uint64_t emptied = LiveBytes();  // the storage object stays with its root
      build(value);
      value.Clear();
      EXPECT_EQ(LiveBytes(), emptied);
      build(value);
      BindingProperty moved(std::move(value));
    }
    EXPECT_EQ(LiveBytes(), before);
  }
}

// Catches the cache of object shapes handing out a name cell that has left the table (a freed
// cell counted again), or a cached name matched by length alone: objects placed whole reuse the
// names of the last object of as many members only while those cells are alive and equal.
TEST(BindingProperty, ObjectsPlacedWholeShareNamesOnlyWhileTheyLive) {
  BindingProperty root;
  for (int i = 0; i < 80; ++i)  // enough strings for the table to start its caches
    root.Member("filler" + std::to_string(i)) = i;
  const InternTable& texts = root.Storage()->texts();
  const auto place = [&root](std::string_view slot, std::string_view first,
                             std::string_view second) {
    BindingProperty& values = root.Member("values");
    values.Clear();
    values.PushBack() = 1;
    values.PushBack() = 2;
    const std::vector<BindingMemberSource> members = {{first, &values.At(0)},
                                                      {second, &values.At(1)}};
    root.Member(slot).AssignSortedMembers(members);
  };

  place("p", "alpha", "beta");
  place("q", "alpha", "beta");
  EXPECT_EQ(texts.Find("alpha")->references, 2u);
  EXPECT_EQ(root.Find("p").Find("beta").GetSigned(0), 2);

  root.Member("p").Clear();
  root.Member("q").Clear();  // "alpha" and "beta" leave the table
  ASSERT_EQ(texts.Find("alpha"), nullptr);
  place("s", "alpha", "beta");
  const InternedText* alpha = texts.Find("alpha");
  ASSERT_NE(alpha, nullptr);
  EXPECT_EQ(alpha->references, 1u);
  const BindingProperty& view = root;
  EXPECT_EQ((*view.Find("s").Members().begin()).name.data(), alpha->data());

  place("t", "alpha", "betb");  // the same length as the cached "beta"
  EXPECT_EQ(view.Find("t").Find("betb").GetSigned(0), 2);
  EXPECT_TRUE(view.Find("t").Find("beta").IsEmpty());
  EXPECT_EQ(alpha->references, 2u);
}

// Catches a name comparison of the name caches that skips a byte: names of every length up to 20
// that differ in one byte, at each position, stay apart.
TEST(BindingProperty, CachedNamesDifferingInOneByteStayApart) {
  BindingProperty root;
  for (int i = 0; i < 80; ++i)  // enough strings for the table to start its caches
    root.Member("filler" + std::to_string(i)) = i;
  BindingProperty value;
  int placed = 0;
  const auto place = [&](const std::string& name) -> const BindingProperty& {
    value = 7;  // nothing is released between placements, so cached names stay valid
    BindingProperty& object = root.Member("object" + std::to_string(placed++));
    object.AssignSortedMembers(std::vector<BindingMemberSource>{{name, &value}});
    return object;
  };
  for (std::size_t length = 1; length <= 20; ++length) {
    const std::string name(length, 'n');
    for (std::size_t position = 0; position < length; ++position) {
      std::string other = name;
      other[position] = 'o';
      place(name);
      const BindingProperty& object = place(other);
      EXPECT_EQ(object.Find(other).GetSigned(0), 7) << other;
      EXPECT_TRUE(object.Find(name).IsEmpty()) << other;
    }
  }
}

// Catches members built in one pass out of name order, or values copied instead of moved: sorted
// names fill the structure at once, others (a repeated name too) go in one by one, the last value
// of a name winning.
TEST(BindingProperty, AssignMembersMovesValuesInNameOrder) {
  BindingProperty root;
  BindingProperty& scratch = root.PushBack();
  for (int i = 0; i < 5; ++i)
    scratch.PushBack() = i;
  scratch.At(4).Member("x") = "y";
  BindingProperty& sorted = root.PushBack();  // moves `scratch`, not its elements
  BindingProperty unsorted;  // a root of its own: values from another storage are moved in too
  const std::span<BindingProperty> moved = root.At(0).Elements();

  sorted.ReserveMembers(4);  // a reserved structure walks as empty until members come
  EXPECT_TRUE(sorted.Members().empty());
  sorted.AssignMembers(std::vector<BindingMemberSource>{{"a", &moved[1]}, {"b", &moved[0]}});
  unsorted.AssignMembers(
      std::vector<BindingMemberSource>{{"c", &moved[2]}, {"a", &moved[4]}, {"c", &moved[3]}});

  ASSERT_EQ(sorted.Size(), 2u);
  EXPECT_EQ(sorted.Find("a").GetSigned(-1), 1);
  EXPECT_EQ(sorted.Find("b").GetSigned(-1), 0);
  ASSERT_EQ(unsorted.Size(), 2u);
  EXPECT_EQ(unsorted.Find("a").Find("x").GetString(), "y");
  EXPECT_EQ(unsorted.Find("c").GetSigned(-1), 3);
  for (const BindingProperty& value : root.At(0).Elements())
    EXPECT_TRUE(value.IsEmpty());
}

// Catches elements appended out of order, or a collection that grows per element when appended
// to again and again.
TEST(BindingProperty, AppendElementsMovesValuesAtTheEnd) {
  BindingProperty source;
  for (int i = 0; i < 40; ++i)
    source.PushBack() = i;
  BindingProperty target;
  target.PushBack() = -1;
  for (int round = 0; round < 2; ++round)
    target.AppendElements(source.Elements().subspan(round * 20, 20));
  ASSERT_EQ(target.Size(), 41u);
  for (int i = 0; i < 41; ++i)
    EXPECT_EQ(target.At(static_cast<std::size_t>(i)).GetSigned(0), i - 1);
  EXPECT_TRUE(source.At(0).IsEmpty());
}

}  // namespace
}  // namespace Zorv

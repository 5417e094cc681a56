// TypeSpelling<T>: how a native type is written inside its identity text, fixed at compile time.
// The spelling is the one every build of the plugin agrees on, whatever the compiler: class key
// and full namespace ("struct Zorv::BindingGenericEvent"), standard containers with their
// allocators, a blank between two closing angle brackets, 64-bit integers as "__int64".
//
// A record or enum gets its spelling once, at global namespace scope, next to its declaration:
//
//   DUL_BINDING_TYPE_NAME(struct, Zorv::Client::ItemSets::Api::ItemSet)
//
// A type without a spelling does not compile where its identity is asked for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace StaticType {

// A text of N characters plus its terminator, usable as a template argument.
template <std::size_t N>
struct FixedText {
  char chars[N + 1] = {};

  constexpr FixedText() = default;
  constexpr FixedText(const char (&text)[N + 1]) {
    for (std::size_t i = 0; i < N; ++i) {
      chars[i] = text[i];
    }
  }

  static constexpr std::size_t size() { return N; }
  constexpr std::string_view view() const { return std::string_view(chars, N); }
  constexpr bool EndsWith(char c) const { return N > 0 && chars[N - 1] == c; }
};

template <std::size_t N>
FixedText(const char (&)[N]) -> FixedText<N - 1>;

template <std::size_t A, std::size_t B>
constexpr FixedText<A + B> operator+(const FixedText<A>& left, const FixedText<B>& right) {
  FixedText<A + B> joined;
  for (std::size_t i = 0; i < A; ++i) {
    joined.chars[i] = left.chars[i];
  }
  for (std::size_t i = 0; i < B; ++i) {
    joined.chars[A + i] = right.chars[i];
  }
  return joined;
}

// Closes a template argument list: a blank goes between two closing angle brackets.
template <FixedText text>
constexpr auto CloseArguments() {
  if constexpr (text.EndsWith('>')) {
    return text + FixedText(" >");
  } else {
    return text + FixedText(">");
  }
}

// Primary template left undefined: only spelled types have an identity.
template <class T>
struct TypeSpelling;

template <class T>
inline constexpr auto kSpelling = TypeSpelling<T>::text;

#define DUL_SPELL_FUNDAMENTAL(type, spelling)         \
  template <>                                         \
  struct TypeSpelling<type> {                         \
    static constexpr auto text = FixedText(spelling); \
  }

DUL_SPELL_FUNDAMENTAL(void, "void");
DUL_SPELL_FUNDAMENTAL(bool, "bool");
DUL_SPELL_FUNDAMENTAL(char, "char");
DUL_SPELL_FUNDAMENTAL(signed char, "signed char");
DUL_SPELL_FUNDAMENTAL(unsigned char, "unsigned char");
DUL_SPELL_FUNDAMENTAL(short, "short");
DUL_SPELL_FUNDAMENTAL(unsigned short, "unsigned short");
DUL_SPELL_FUNDAMENTAL(int, "int");
DUL_SPELL_FUNDAMENTAL(unsigned int, "unsigned int");
DUL_SPELL_FUNDAMENTAL(long long, "__int64");
DUL_SPELL_FUNDAMENTAL(unsigned long long, "unsigned __int64");
DUL_SPELL_FUNDAMENTAL(float, "float");
DUL_SPELL_FUNDAMENTAL(double, "double");

#undef DUL_SPELL_FUNDAMENTAL

// long is 64 bits wide on 64-bit POSIX targets, where std::int64_t is long: it is spelled as
// the 64-bit integer there so that std::int64_t has one identity on every target.
template <>
struct TypeSpelling<long> {
  static constexpr auto text = [] {
    if constexpr (sizeof(long) == 8) {
      return FixedText("__int64");
    } else {
      return FixedText("long");
    }
  }();
};

template <>
struct TypeSpelling<unsigned long> {
  static constexpr auto text = [] {
    if constexpr (sizeof(unsigned long) == 8) {
      return FixedText("unsigned __int64");
    } else {
      return FixedText("unsigned long");
    }
  }();
};

template <class T>
struct TypeSpelling<std::allocator<T>> {
  static constexpr auto text = CloseArguments<FixedText("class std::allocator<") + kSpelling<T>>();
};

template <class T>
struct TypeSpelling<std::char_traits<T>> {
  static constexpr auto text =
      CloseArguments<FixedText("struct std::char_traits<") + kSpelling<T>>();
};

template <class T>
struct TypeSpelling<std::less<T>> {
  static constexpr auto text = CloseArguments<FixedText("struct std::less<") + kSpelling<T>>();
};

template <class First, class Second>
struct TypeSpelling<std::pair<First, Second>> {
  static constexpr auto text = CloseArguments<FixedText("struct std::pair<") + kSpelling<First> +
                                              FixedText(",") + kSpelling<Second>>();
};

// The const of a pair's key is written after the type, followed by a blank.
template <class T>
struct TypeSpelling<const T> {
  static constexpr auto text = kSpelling<T> + FixedText(" const ");
};

template <>
struct TypeSpelling<std::string> {
  static constexpr auto text = CloseArguments<FixedText("class std::basic_string<char,") +
                                              kSpelling<std::char_traits<char>> + FixedText(",") +
                                              kSpelling<std::allocator<char>>>();
};

template <class T>
struct TypeSpelling<std::vector<T>> {
  static constexpr auto text = CloseArguments<FixedText("class std::vector<") + kSpelling<T> +
                                              FixedText(",") + kSpelling<std::allocator<T>>>();
};

template <class Key, class Value>
struct TypeSpelling<std::map<Key, Value>> {
  static constexpr auto text =
      CloseArguments<FixedText("class std::map<") + kSpelling<Key> + FixedText(",") +
                     kSpelling<Value> + FixedText(",") + kSpelling<std::less<Key>> +
                     FixedText(",") + kSpelling<std::allocator<std::pair<const Key, Value>>>>();
};

// Checks at compile time that the class key given to DUL_BINDING_TYPE_NAME fits the type.
template <class T>
constexpr bool ClassKeyFits(std::string_view key) {
  if (key == "enum") {
    return std::is_enum_v<T>;
  }
  return (key == "struct" || key == "class" || key == "union") && std::is_class_v<T>;
}

}  // namespace StaticType

// Gives a record or enum its spelling: class key ("struct", "class", "enum") and the type with
// its full namespace and no leading "::". Use at global namespace scope; a trailing ";" is
// optional.
#define DUL_BINDING_TYPE_NAME(class_key, qualified_type)                                  \
  template <>                                                                             \
  struct StaticType::TypeSpelling<qualified_type> {                                       \
    static_assert(::StaticType::ClassKeyFits<qualified_type>(#class_key),                 \
                  "class key does not fit " #qualified_type);                             \
    static constexpr auto text = ::StaticType::FixedText(#class_key " " #qualified_type); \
  };

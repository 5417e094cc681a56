// The codec benchmarks' inputs: deterministic documents built from a 64-bit mixer of our own, so
// that the bytes (and their printed hashes) are the same on every machine and compiler. Each
// document exists as compact JSON, pretty JSON (indent 4), MessagePack and block YAML, all
// holding the same tree, together with the statistics every parsed tree must walk to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace dul::bench {

// A step of the mixer: the next value of a counter-based sequence, well spread over 64 bits.
class Mixer {
 public:
  explicit Mixer(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next();
  // Uniform in [0, bound) (bound > 0), by multiply-shift.
  std::uint64_t Below(std::uint64_t bound);
  // Uniform in [low, high].
  std::int64_t Between(std::int64_t low, std::int64_t high);
  // Uniform in [0, 1).
  double Fraction();
  bool OneIn(std::uint64_t odds) { return Below(odds) == 0; }

 private:
  std::uint64_t state_;
};

// A 64-bit digest of bytes, built on the same mixer, printed beside each input.
std::uint64_t HashBytes(std::span<const std::uint8_t> bytes);

// The generated tree. Names of an object are unique, so every reader keeps every member.
struct DocumentNode {
  enum class Kind : std::uint8_t {
    kNull,
    kBool,
    kUnsigned,
    kSigned,
    kDouble,
    kString,
    kArray,
    kObject
  };

  Kind kind = Kind::kNull;
  bool boolean = false;
  std::uint64_t unsignedValue = 0;
  std::int64_t signedValue = 0;
  double doubleValue = 0;
  // Significant digits the text forms print a double with: 0 for the shortest round trip.
  int digits = 0;
  // JSON writes this string's multi-byte characters and solidus as escapes.
  bool asciiJson = false;
  std::string text;
  std::vector<DocumentNode> elements;
  std::vector<std::pair<std::string, DocumentNode>> members;

  static DocumentNode Null() { return {}; }
  static DocumentNode Bool(bool value);
  static DocumentNode Unsigned(std::uint64_t value);
  // A negative value is "signed", anything else "unsigned", as JSON readers type them.
  static DocumentNode Integer(std::int64_t value);
  static DocumentNode Double(double value, int digits = 0);
  static DocumentNode String(std::string value);
  static DocumentNode AsciiJsonString(std::string value);
  static DocumentNode Array() { return WithKind(Kind::kArray); }
  static DocumentNode Object() { return WithKind(Kind::kObject); }

  DocumentNode& Add(DocumentNode element);
  DocumentNode& Add(std::string name, DocumentNode value);

 private:
  static DocumentNode WithKind(Kind kind);
};

// What a walk of a parsed tree counts. Signed and unsigned integers count together (MessagePack
// gives small non-negative numbers as "signed"); their sum wraps. Every reader of one document
// must reach the same numbers (floatSum within rounding of the last digit).
struct DocumentStats {
  std::uint64_t nulls = 0;
  std::uint64_t bools = 0;
  std::uint64_t trues = 0;
  std::uint64_t integers = 0;
  std::uint64_t integerSum = 0;
  std::uint64_t floats = 0;
  double floatSum = 0;
  std::uint64_t strings = 0;
  std::uint64_t stringBytes = 0;
  std::uint64_t arrays = 0;
  std::uint64_t elements = 0;
  std::uint64_t objects = 0;
  std::uint64_t members = 0;
  std::uint64_t keyBytes = 0;

  // Counts equal and float sums within a relative 1e-9.
  bool Matches(const DocumentStats& other) const;
  std::string Describe() const;
};

DocumentStats StatsOf(const DocumentNode& node);

// One input in all four encodings.
struct GeneratedDocument {
  std::string name;
  std::string json;
  std::string prettyJson;
  std::vector<std::uint8_t> messagePack;
  std::string yaml;
  DocumentStats stats;
};

// Item-set documents of about `jsonBytes` bytes of compact JSON.
GeneratedDocument GenerateItemSets(std::string name, std::size_t jsonBytes);
// Status updates with users and entities: nested objects, 64-bit ids, escaped and non-ASCII
// strings and many nulls, about 630 KB.
GeneratedDocument GenerateTwitterLike();
// Polygons of coordinate pairs printed with 17 significant digits, about 2 MB.
GeneratedDocument GenerateCanadaLike();

// The four encodings of a tree (document_formats.cpp).
std::string ToCompactJson(const DocumentNode& node);
std::string ToPrettyJson(const DocumentNode& node);
std::vector<std::uint8_t> ToMessagePack(const DocumentNode& node);
std::string ToBlockYaml(const DocumentNode& node);

GeneratedDocument Encode(std::string name, const DocumentNode& root);

}  // namespace dul::bench

#include "bench/codecs/document_generator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace dul::bench {
namespace {

using Kind = DocumentNode::Kind;

std::uint64_t Mix(std::uint64_t z) {
  z = (z ^ (z >> 31)) * 0xD6E8FEB86659FD93u;
  z = (z ^ (z >> 29)) * 0xA5CB9243F3B5B7C3u;
  return z ^ (z >> 32);
}

void Accumulate(DocumentStats& stats, const DocumentNode& node) {
  switch (node.kind) {
    case Kind::kNull:
      ++stats.nulls;
      return;
    case Kind::kBool:
      ++stats.bools;
      stats.trues += node.boolean ? 1 : 0;
      return;
    case Kind::kUnsigned:
      ++stats.integers;
      stats.integerSum += node.unsignedValue;
      return;
    case Kind::kSigned:
      ++stats.integers;
      stats.integerSum += static_cast<std::uint64_t>(node.signedValue);
      return;
    case Kind::kDouble:
      ++stats.floats;
      stats.floatSum += node.doubleValue;
      return;
    case Kind::kString:
      ++stats.strings;
      stats.stringBytes += node.text.size();
      return;
    case Kind::kArray:
      ++stats.arrays;
      stats.elements += node.elements.size();
      for (const DocumentNode& element : node.elements)
        Accumulate(stats, element);
      return;
    case Kind::kObject:
      ++stats.objects;
      stats.members += node.members.size();
      for (const auto& [name, value] : node.members) {
        stats.keyBytes += name.size();
        Accumulate(stats, value);
      }
      return;
  }
}

}  // namespace

std::uint64_t Mixer::Next() {
  state_ += 0x9E3779B97F4A7C15u;
  return Mix(state_);
}

std::uint64_t Mixer::Below(std::uint64_t bound) {
  return static_cast<std::uint64_t>((static_cast<unsigned __int128>(Next()) * bound) >> 64);
}

std::int64_t Mixer::Between(std::int64_t low, std::int64_t high) {
  return low + static_cast<std::int64_t>(Below(static_cast<std::uint64_t>(high - low) + 1));
}

double Mixer::Fraction() {
  return static_cast<double>(Next() >> 11) * 0x1.0p-53;
}

std::uint64_t HashBytes(std::span<const std::uint8_t> bytes) {
  std::uint64_t hash = 0x6A09E667F3BCC908u ^ bytes.size();
  std::size_t at = 0;
  for (; at + 8 <= bytes.size(); at += 8) {
    std::uint64_t word = 0;
    for (int i = 7; i >= 0; --i)
      word = (word << 8) | bytes[at + static_cast<std::size_t>(i)];
    hash = Mix(hash ^ word) + 0x9E3779B97F4A7C15u;
  }
  std::uint64_t tail = 0;
  for (std::size_t i = bytes.size(); i > at; --i)
    tail = (tail << 8) | bytes[i - 1];
  return Mix(hash ^ tail ^ 0xFF);
}

DocumentNode DocumentNode::WithKind(Kind kind) {
  DocumentNode node;
  node.kind = kind;
  return node;
}

DocumentNode DocumentNode::Bool(bool value) {
  DocumentNode node = WithKind(Kind::kBool);
  node.boolean = value;
  return node;
}

DocumentNode DocumentNode::Unsigned(std::uint64_t value) {
  DocumentNode node = WithKind(Kind::kUnsigned);
  node.unsignedValue = value;
  return node;
}

DocumentNode DocumentNode::Integer(std::int64_t value) {
  if (value >= 0)
    return Unsigned(static_cast<std::uint64_t>(value));
  DocumentNode node = WithKind(Kind::kSigned);
  node.signedValue = value;
  return node;
}

DocumentNode DocumentNode::Double(double value, int digits) {
  DocumentNode node = WithKind(Kind::kDouble);
  node.doubleValue = value;
  node.digits = digits;
  return node;
}

DocumentNode DocumentNode::String(std::string value) {
  DocumentNode node = WithKind(Kind::kString);
  node.text = std::move(value);
  return node;
}

DocumentNode DocumentNode::AsciiJsonString(std::string value) {
  DocumentNode node = String(std::move(value));
  node.asciiJson = true;
  return node;
}

DocumentNode& DocumentNode::Add(DocumentNode element) {
  elements.push_back(std::move(element));
  return elements.back();
}

DocumentNode& DocumentNode::Add(std::string name, DocumentNode value) {
  members.emplace_back(std::move(name), std::move(value));
  return members.back().second;
}

bool DocumentStats::Matches(const DocumentStats& other) const {
  const double scale = std::max(std::fabs(floatSum), 1.0);
  return nulls == other.nulls && bools == other.bools && trues == other.trues &&
         integers == other.integers && integerSum == other.integerSum && floats == other.floats &&
         std::fabs(floatSum - other.floatSum) <= 1e-9 * scale && strings == other.strings &&
         stringBytes == other.stringBytes && arrays == other.arrays && elements == other.elements &&
         objects == other.objects && members == other.members && keyBytes == other.keyBytes;
}

std::string DocumentStats::Describe() const {
  char text[512];
  std::snprintf(
      text, sizeof text,
      "nulls %llu, bools %llu (true %llu), integers %llu (sum %llu), floats %llu (sum "
      "%.17g), strings %llu (%llu bytes), arrays %llu (%llu elements), objects %llu "
      "(%llu members, %llu key bytes)",
      static_cast<unsigned long long>(nulls), static_cast<unsigned long long>(bools),
      static_cast<unsigned long long>(trues), static_cast<unsigned long long>(integers),
      static_cast<unsigned long long>(integerSum), static_cast<unsigned long long>(floats),
      floatSum, static_cast<unsigned long long>(strings),
      static_cast<unsigned long long>(stringBytes), static_cast<unsigned long long>(arrays),
      static_cast<unsigned long long>(elements), static_cast<unsigned long long>(objects),
      static_cast<unsigned long long>(members), static_cast<unsigned long long>(keyBytes));
  return text;
}

DocumentStats StatsOf(const DocumentNode& node) {
  DocumentStats stats;
  Accumulate(stats, node);
  return stats;
}

}  // namespace dul::bench

// The four encodings of a generated tree. Written here rather than with any codec under test, so
// that no contender reads bytes shaped by its own writer.
#include <cctype>
#include <charconv>
#include <cstring>

#include "bench/codecs/document_generator.h"

namespace dul::bench {
namespace {

using Kind = DocumentNode::Kind;

constexpr char kHexDigits[] = "0123456789abcdef";

void AppendHex4(std::string& out, unsigned value) {
  for (int shift = 12; shift >= 0; shift -= 4)
    out.push_back(kHexDigits[(value >> shift) & 0xF]);
}

// The code point of the UTF-8 sequence at `at` (the generator writes only valid UTF-8).
unsigned DecodeUtf8(std::string_view text, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at++]);
  const int extra = lead >= 0xF0 ? 3 : (lead >= 0xE0 ? 2 : 1);
  unsigned code = lead & (0x3F >> extra);
  for (int i = 0; i < extra; ++i)
    code = (code << 6) | (static_cast<unsigned char>(text[at++]) & 0x3F);
  return code;
}

// JSON string escapes. With `asciiOnly`, multi-byte characters become \u escapes (pairs of
// surrogates above U+FFFF) and the solidus is escaped too, as some services write their text.
void AppendJsonString(std::string& out, std::string_view text, bool asciiOnly) {
  out.push_back('"');
  for (std::size_t at = 0; at < text.size();) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c >= 0x80 && asciiOnly) {
      const unsigned code = DecodeUtf8(text, at);
      out += "\\u";
      if (code < 0x10000) {
        AppendHex4(out, code);
      } else {
        AppendHex4(out, 0xD800 + ((code - 0x10000) >> 10));
        out += "\\u";
        AppendHex4(out, 0xDC00 + ((code - 0x10000) & 0x3FF));
      }
      continue;
    }
    ++at;
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      case '/':
        out += asciiOnly ? "\\/" : "/";
        break;
      default:
        if (c < 0x20) {
          out += "\\u";
          AppendHex4(out, c);
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out.push_back('"');
}

// Every text form prints a double the same way, always with a fraction or an exponent.
void AppendDouble(std::string& out, double value, int digits) {
  char buffer[64];
  const std::to_chars_result written = digits == 0
                                           ? std::to_chars(buffer, buffer + sizeof buffer, value)
                                           : std::to_chars(buffer, buffer + sizeof buffer, value,
                                                           std::chars_format::general, digits);
  const std::string_view text(buffer, static_cast<std::size_t>(written.ptr - buffer));
  out += text;
  if (text.find_first_of(".e") == std::string_view::npos)
    out += ".0";
}

// Scalars as JSON and YAML share them: numbers, true, false, null.
bool AppendPlainScalar(std::string& out, const DocumentNode& node) {
  switch (node.kind) {
    case Kind::kNull:
      out += "null";
      return true;
    case Kind::kBool:
      out += node.boolean ? "true" : "false";
      return true;
    case Kind::kUnsigned:
      out += std::to_string(node.unsignedValue);
      return true;
    case Kind::kSigned:
      out += std::to_string(node.signedValue);
      return true;
    case Kind::kDouble:
      AppendDouble(out, node.doubleValue, node.digits);
      return true;
    default:
      return false;
  }
}

class JsonPrinter {
 public:
  explicit JsonPrinter(bool pretty) : pretty_(pretty) {}

  void Print(const DocumentNode& node, int depth) {
    if (AppendPlainScalar(out_, node))
      return;
    if (node.kind == Kind::kString)
      return AppendJsonString(out_, node.text, node.asciiJson);
    const bool array = node.kind == Kind::kArray;
    const std::size_t count = array ? node.elements.size() : node.members.size();
    out_.push_back(array ? '[' : '{');
    for (std::size_t i = 0; i < count; ++i) {
      if (i != 0)
        out_.push_back(',');
      Break(depth + 1);
      if (array) {
        Print(node.elements[i], depth + 1);
        continue;
      }
      AppendJsonString(out_, node.members[i].first, false);
      out_ += pretty_ ? ": " : ":";
      Print(node.members[i].second, depth + 1);
    }
    if (count != 0)
      Break(depth);
    out_.push_back(array ? ']' : '}');
  }

  std::string Take() { return std::move(out_); }

 private:
  void Break(int depth) {
    if (!pretty_)
      return;
    out_.push_back('\n');
    out_.append(static_cast<std::size_t>(depth) * 4, ' ');
  }

  bool pretty_;
  std::string out_;
};

class MessagePackPrinter {
 public:
  void Print(const DocumentNode& node) {
    switch (node.kind) {
      case Kind::kNull:
        return Byte(0xC0);
      case Kind::kBool:
        return Byte(node.boolean ? 0xC3 : 0xC2);
      case Kind::kUnsigned:
        return Unsigned(node.unsignedValue);
      case Kind::kSigned:
        return Signed(node.signedValue);
      case Kind::kDouble: {
        std::uint64_t bits;
        std::memcpy(&bits, &node.doubleValue, sizeof bits);
        return Tagged(0xCB, bits, 8);
      }
      case Kind::kString:
        return Text(node.text);
      case Kind::kArray:
        Header(node.elements.size(), 0x90, 0xDC);
        for (const DocumentNode& element : node.elements)
          Print(element);
        return;
      case Kind::kObject:
        Header(node.members.size(), 0x80, 0xDE);
        for (const auto& [name, value] : node.members) {
          Text(name);
          Print(value);
        }
        return;
    }
  }

  std::vector<std::uint8_t> Take() { return std::move(out_); }

 private:
  void Byte(unsigned value) { out_.push_back(static_cast<std::uint8_t>(value)); }
  void Tagged(unsigned format, std::uint64_t value, int width) {
    Byte(format);
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
      Byte(static_cast<unsigned>(value >> shift) & 0xFF);
  }
  void Unsigned(std::uint64_t value) {
    if (value < 0x80)
      Byte(static_cast<unsigned>(value));
    else if (value <= 0xFF)
      Tagged(0xCC, value, 1);
    else if (value <= 0xFFFF)
      Tagged(0xCD, value, 2);
    else if (value <= 0xFFFFFFFF)
      Tagged(0xCE, value, 4);
    else
      Tagged(0xCF, value, 8);
  }
  void Signed(std::int64_t value) {
    const auto bits = static_cast<std::uint64_t>(value);
    if (value >= -32)
      Byte(static_cast<unsigned>(bits) & 0xFF);
    else if (value >= INT8_MIN)
      Tagged(0xD0, bits, 1);
    else if (value >= INT16_MIN)
      Tagged(0xD1, bits, 2);
    else if (value >= INT32_MIN)
      Tagged(0xD2, bits, 4);
    else
      Tagged(0xD3, bits, 8);
  }
  // fix form below 16 items, then the 16-bit and 32-bit forms (`wide` and wide + 1).
  void Header(std::size_t count, unsigned fix, unsigned wide) {
    if (count < 16)
      Byte(fix | static_cast<unsigned>(count));
    else if (count <= 0xFFFF)
      Tagged(wide, count, 2);
    else
      Tagged(wide + 1, count, 4);
  }
  void Text(std::string_view text) {
    const std::size_t size = text.size();
    if (size < 32)
      Byte(0xA0 | static_cast<unsigned>(size));
    else if (size <= 0xFF)
      Tagged(0xD9, size, 1);
    else if (size <= 0xFFFF)
      Tagged(0xDA, size, 2);
    else
      Tagged(0xDB, size, 4);
    out_.insert(out_.end(), text.begin(), text.end());
  }

  std::vector<std::uint8_t> out_;
};

bool IsPlainKey(std::string_view name) {
  if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_'))
    return false;
  for (const char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
      return false;
  }
  return true;
}

// Double-quoted YAML: every string stays a string whatever its text looks like.
void AppendYamlString(std::string& out, std::string_view text) {
  static constexpr char kEscapes[] = "\"\\\n\t\r\b\f";
  static constexpr char kLetters[] = "\"\\ntrbf";
  out.push_back('"');
  for (const char c : text) {
    const char* escape = c != '\0' ? std::strchr(kEscapes, c) : nullptr;
    if (escape != nullptr) {
      out.push_back('\\');
      out.push_back(kLetters[escape - kEscapes]);
    } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
      out += "\\x";
      out.push_back(kHexDigits[(c >> 4) & 0xF]);
      out.push_back(kHexDigits[c & 0xF]);
    } else {
      out.push_back(c);
    }
  }
  out.push_back('"');
}

class YamlPrinter {
 public:
  // A container's first line continues the line of the "- " that opened it.
  void Print(const DocumentNode& node, std::size_t indent, bool continuesLine) {
    const bool array = node.kind == Kind::kArray;
    const std::size_t count = array ? node.elements.size() : node.members.size();
    for (std::size_t i = 0; i < count; ++i) {
      if (i != 0 || !continuesLine)
        out_.append(indent, ' ');
      const DocumentNode& value = array ? node.elements[i] : node.members[i].second;
      if (array) {
        out_ += "- ";
      } else {
        const std::string& name = node.members[i].first;
        IsPlainKey(name) ? void(out_ += name) : AppendYamlString(out_, name);
        out_ += IsBlock(value) ? ":\n" : ": ";
      }
      if (!IsBlock(value)) {
        Inline(value);
        out_.push_back('\n');
      } else {
        Print(value, indent + 2, array);
      }
    }
  }

  void Inline(const DocumentNode& node) {
    if (AppendPlainScalar(out_, node))
      return;
    if (node.kind == Kind::kString)
      return AppendYamlString(out_, node.text);
    out_ += node.kind == Kind::kArray ? "[]" : "{}";
  }

  static bool IsBlock(const DocumentNode& node) {
    return (node.kind == Kind::kArray && !node.elements.empty()) ||
           (node.kind == Kind::kObject && !node.members.empty());
  }

  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
};

}  // namespace

std::string ToCompactJson(const DocumentNode& node) {
  JsonPrinter printer(false);
  printer.Print(node, 0);
  return printer.Take();
}

std::string ToPrettyJson(const DocumentNode& node) {
  JsonPrinter printer(true);
  printer.Print(node, 0);
  return printer.Take();
}

std::vector<std::uint8_t> ToMessagePack(const DocumentNode& node) {
  MessagePackPrinter printer;
  printer.Print(node);
  return printer.Take();
}

std::string ToBlockYaml(const DocumentNode& node) {
  YamlPrinter printer;
  if (YamlPrinter::IsBlock(node)) {
    printer.Print(node, 0, false);
  } else {
    printer.Inline(node);
    return printer.Take() + "\n";
  }
  return printer.Take();
}

GeneratedDocument Encode(std::string name, const DocumentNode& root) {
  GeneratedDocument document;
  document.name = std::move(name);
  document.json = ToCompactJson(root);
  document.prettyJson = ToPrettyJson(root);
  document.messagePack = ToMessagePack(root);
  document.yaml = ToBlockYaml(root);
  document.stats = StatsOf(root);
  return document;
}

}  // namespace dul::bench

// MessagePack reader: one pass over the bytes, the value built by a PendingTree (each container's
// values gathered, then placed at once; map keys stay in the input until then). The counts of
// open arrays and maps live on a fixed stack of kMessagePackDepthLimit entries, so reading
// allocates nothing beyond the value tree, its scratch values and the error text.
#include "codecs/message_pack_reader.h"

#include <bit>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "codecs/pending_tree.h"
#include "foundation/format_text.h"

namespace Zorv {
namespace {

constexpr std::string_view kInvalidData = "Invalid MessagePack data at position %1.";
constexpr std::string_view kKeyNotString =
    "Invalid MessagePack data at position %1. Map keys must be strings.";
constexpr std::string_view kTooDeep =
    "Invalid MessagePack data at position %1. Nesting is deeper than 512 levels.";
constexpr std::string_view kIntegerTruncated =
    "Invalid MessagePack data. %1-bit integer value at position %2 is truncated.";
constexpr std::string_view kStringTruncated =
    "Invalid MessagePack data. String of size %1 at position %2 is truncated.";
constexpr std::string_view kRawBytesTruncated =
    "Invalid MessagePack data. Raw bytes of size %1 at position %2 are truncated.";
static_assert(kMessagePackDepthLimit == 512, "the nesting message names the limit");

// An array or map still being read.
struct OpenContainer {
  std::uint32_t itemsLeft;  // elements of an array, members of a map
  bool isMap;
};

class MessagePackReader {
 public:
  MessagePackReader(const std::uint8_t* bytes, std::size_t length, PendingTree& tree)
      : bytes_(bytes), length_(length), tree_(tree) {}

  // Reads one value into the tree; false on the first error, with error() telling what it was.
  bool Read();
  std::size_t position() const { return position_; }
  const std::string& error() const { return error_; }

 private:
  bool ReadItem();
  bool ReadTaggedItem(std::uint8_t format, std::size_t formatPosition);
  bool ReadNumber(std::uint8_t format);
  bool ReadKey();
  bool ReadString(std::uint64_t size);
  bool ReadBlob(std::uint64_t size);
  bool CheckDepth(std::size_t formatPosition);
  bool Open(bool map, std::uint64_t count);

  template <std::size_t Width>
  bool ReadBigEndian(std::uint64_t& value) {
    if (length_ - position_ < Width)
      return Fail(dul::FormatText(kIntegerTruncated, Width * 8, position_));
    const std::uint8_t* at = bytes_ + position_;
    std::uint64_t word = 0;
    for (std::size_t i = 0; i < Width; ++i)
      word = (word << 8) | at[i];
    position_ += Width;
    value = word;
    return true;
  }

  bool Fail(std::string message) {
    error_ = std::move(message);
    return false;
  }

  const std::uint8_t* bytes_;
  std::size_t length_;
  PendingTree& tree_;
  std::size_t position_ = 0;
  std::size_t depth_ = 0;
  OpenContainer open_[kMessagePackDepthLimit];
  std::string error_;
};

bool MessagePackReader::Read() {
  for (;;) {
    if (!ReadItem())
      return false;
    while (depth_ != 0 && open_[depth_ - 1].itemsLeft == 0) {
      --depth_;
      tree_.Close();
    }
    if (depth_ == 0)
      return true;
    OpenContainer& container = open_[depth_ - 1];
    --container.itemsLeft;
    if (container.isMap && !ReadKey())
      return false;
  }
}

bool MessagePackReader::ReadItem() {
  if (position_ == length_)
    return Fail(dul::FormatText(kIntegerTruncated, 8, position_));
  const std::size_t formatPosition = position_;
  const std::uint8_t format = bytes_[position_++];
  if (format <= 0x7F) {
    tree_.Next().SetSigned(format);
    return true;
  }
  if (format >= 0xE0) {
    tree_.Next().SetSigned(static_cast<std::int8_t>(format));
    return true;
  }
  if (format <= 0x8F)
    return CheckDepth(formatPosition) && Open(true, format & 0x0F);
  if (format <= 0x9F)
    return CheckDepth(formatPosition) && Open(false, format & 0x0F);
  if (format <= 0xBF)
    return ReadString(format & 0x1F);
  return ReadTaggedItem(format, formatPosition);
}

// Formats 0xC0 to 0xDF: those whose length, count or number follows the format byte.
bool MessagePackReader::ReadTaggedItem(std::uint8_t format, std::size_t formatPosition) {
  std::uint64_t size = 0;
  switch (format) {
    case 0xC0:
      tree_.Next();  // empty (at the top it has been empty all along)
      return true;
    case 0xC2:
    case 0xC3:
      tree_.Next().SetBool(format == 0xC3);
      return true;
    case 0xC4:
      return ReadBigEndian<1>(size) && ReadBlob(size);
    case 0xC5:
      return ReadBigEndian<2>(size) && ReadBlob(size);
    case 0xC6:
      return ReadBigEndian<4>(size) && ReadBlob(size);
    case 0xD9:
      return ReadBigEndian<1>(size) && ReadString(size);
    case 0xDA:
      return ReadBigEndian<2>(size) && ReadString(size);
    case 0xDB:
      return ReadBigEndian<4>(size) && ReadString(size);
    case 0xDC:
      return CheckDepth(formatPosition) && ReadBigEndian<2>(size) && Open(false, size);
    case 0xDD:
      return CheckDepth(formatPosition) && ReadBigEndian<4>(size) && Open(false, size);
    case 0xDE:
      return CheckDepth(formatPosition) && ReadBigEndian<2>(size) && Open(true, size);
    case 0xDF:
      return CheckDepth(formatPosition) && ReadBigEndian<4>(size) && Open(true, size);
    default:
      break;
  }
  if (format >= 0xCA && format <= 0xD3)
    return ReadNumber(format);
  // 0xC1 is never used; ext and fixext carry types this reader gives no meaning.
  return Fail(dul::FormatText(kInvalidData, formatPosition));
}

// Floats 0xCA and 0xCB, unsigned 0xCC to 0xCF, signed (sign-extended) 0xD0 to 0xD3.
bool MessagePackReader::ReadNumber(std::uint8_t format) {
  static constexpr std::uint8_t kWidths[] = {4, 8, 1, 2, 4, 8, 1, 2, 4, 8};
  std::uint64_t word = 0;
  bool read = false;
  switch (kWidths[format - 0xCA]) {
    case 1:
      read = ReadBigEndian<1>(word);
      break;
    case 2:
      read = ReadBigEndian<2>(word);
      break;
    case 4:
      read = ReadBigEndian<4>(word);
      break;
    default:
      read = ReadBigEndian<8>(word);
      break;
  }
  if (!read)
    return false;
  BindingProperty& target = tree_.Next();
  if (format == 0xCA) {
    target.SetDouble(std::bit_cast<float>(static_cast<std::uint32_t>(word)));
  } else if (format == 0xCB) {
    target.SetDouble(std::bit_cast<double>(word));
  } else if (format <= 0xCF) {
    target.SetUnsigned(word);
  } else if (format == 0xD0) {
    target.SetSigned(static_cast<std::int8_t>(word));
  } else if (format == 0xD1) {
    target.SetSigned(static_cast<std::int16_t>(word));
  } else if (format == 0xD2) {
    target.SetSigned(static_cast<std::int32_t>(word));
  } else {
    target.SetSigned(static_cast<std::int64_t>(word));
  }
  return true;
}

// Reads a member name, which names the next value; false on failure.
bool MessagePackReader::ReadKey() {
  if (position_ == length_)
    return Fail(dul::FormatText(kIntegerTruncated, 8, position_));
  const std::uint8_t format = bytes_[position_++];
  std::uint64_t size = format & 0x1F;
  bool read = true;
  if (format == 0xD9) {
    read = ReadBigEndian<1>(size);
  } else if (format == 0xDA) {
    read = ReadBigEndian<2>(size);
  } else if (format == 0xDB) {
    read = ReadBigEndian<4>(size);
  } else if (format < 0xA0 || format > 0xBF) {
    read = Fail(dul::FormatText(kKeyNotString, position_));
  }
  if (!read)
    return false;
  if (length_ - position_ < size)
    return Fail(dul::FormatText(kStringTruncated, size, position_));
  tree_.Name(std::string_view(reinterpret_cast<const char*>(bytes_ + position_), size));
  position_ += size;
  return true;
}

bool MessagePackReader::ReadString(std::uint64_t size) {
  if (length_ - position_ < size)
    return Fail(dul::FormatText(kStringTruncated, size, position_));
  tree_.Next().SetString(std::string_view(reinterpret_cast<const char*>(bytes_ + position_), size));
  position_ += size;
  return true;
}

bool MessagePackReader::ReadBlob(std::uint64_t size) {
  if (length_ - position_ < size)
    return Fail(dul::FormatText(kRawBytesTruncated, size, position_));
  tree_.Next().SetBlob(std::span<const std::uint8_t>(bytes_ + position_, size));
  position_ += size;
  return true;
}

// Checked at the format byte, before any count is read: an array or map (empty ones too) inside
// kMessagePackDepthLimit open containers is one level too deep.
bool MessagePackReader::CheckDepth(std::size_t formatPosition) {
  if (depth_ < kMessagePackDepthLimit)
    return true;
  return Fail(dul::FormatText(kTooDeep, formatPosition));
}

// An array or map opens in the tree; an empty one is complete at once. A repeated map key merges
// into what the earlier one gave (PendingTree, RepeatedEmpty::kReplaces). Nothing is reserved
// from the declared count: the values gathered are only those the input really holds.
bool MessagePackReader::Open(bool map, std::uint64_t count) {
  tree_.Open(!map);
  if (count == 0) {
    tree_.Close();
    return true;
  }
  open_[depth_++] = {static_cast<std::uint32_t>(count), map};
  return true;
}

}  // namespace

// The value is built as the first element of the result and the scratch values as the second, so
// that both share the result's storage and moving between them is cheap.
MessagePackReadResult ReadMessagePack(const std::uint8_t* bytes, std::size_t length) {
  MessagePackReadResult read;
  BindingProperty& value = read.result.ResetValue();
  value.Reserve(2);
  BindingProperty& top = value.PushBack();
  BindingProperty& scratch = value.PushBack();
  scratch.SetCollection();
  PendingTree tree(top, scratch, RepeatedEmpty::kReplaces);
  MessagePackReader reader(bytes, length, tree);
  if (reader.Read()) {
    value = std::move(top);
    read.consumed = reader.position();
  } else {
    read.result.SetError(reader.error());
  }
  return read;
}

}  // namespace Zorv

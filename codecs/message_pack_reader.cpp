// MessagePack reader: one pass over the bytes, building the value in place. Open arrays and maps
// live on a fixed stack of kMessagePackDepthLimit entries, so reading allocates nothing beyond
// the value tree and the error text.
#include "codecs/message_pack_reader.h"

#include <algorithm>
#include <bit>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/format_text.h"

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

// An array or map still being read. The value is held, never one of its elements: elements move
// when a collection grows, but an open container's parent does not grow until it is closed.
struct OpenContainer {
  BindingProperty* value;
  std::uint32_t itemsLeft;  // elements of an array, members of a map
  bool isMap;
};

class MessagePackReader {
 public:
  MessagePackReader(const std::uint8_t* bytes, std::size_t length)
      : bytes_(bytes), length_(length) {}

  // Reads one value into `root`; false on the first error, with error() telling what it was.
  bool Read(BindingProperty& root);
  std::size_t position() const { return position_; }
  const std::string& error() const { return error_; }

 private:
  bool ReadItem(BindingProperty& target);
  bool ReadTaggedItem(BindingProperty& target, std::uint8_t format, std::size_t formatPosition);
  bool ReadNumber(BindingProperty& target, std::uint8_t format);
  BindingProperty* ReadKey(BindingProperty& map);
  bool ReadString(BindingProperty& target, std::uint64_t size);
  bool ReadBlob(BindingProperty& target, std::uint64_t size);
  bool CheckDepth(std::size_t formatPosition);
  bool OpenArray(BindingProperty& target, std::uint64_t count);
  bool OpenMap(BindingProperty& target, std::uint64_t count);

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
  std::size_t position_ = 0;
  // Bytes the unread items of the open containers need at the least: one per array element, two
  // per map member. Reservations come only from the input beyond them, so nested containers
  // that all declare huge counts cannot each reserve for the same remaining bytes.
  std::uint64_t promisedBytes_ = 0;
  std::size_t depth_ = 0;
  OpenContainer open_[kMessagePackDepthLimit];
  std::string error_;
};

bool MessagePackReader::Read(BindingProperty& root) {
  BindingProperty* target = &root;
  for (;;) {
    if (!ReadItem(*target))
      return false;
    while (depth_ != 0 && open_[depth_ - 1].itemsLeft == 0)
      --depth_;
    if (depth_ == 0)
      return true;
    OpenContainer& container = open_[depth_ - 1];
    --container.itemsLeft;
    if (container.isMap) {
      promisedBytes_ -= 2;
      target = ReadKey(*container.value);
      if (target == nullptr)
        return false;
    } else {
      promisedBytes_ -= 1;
      target = &container.value->PushBack();
    }
  }
}

bool MessagePackReader::ReadItem(BindingProperty& target) {
  if (position_ == length_)
    return Fail(dul::FormatText(kIntegerTruncated, 8, position_));
  const std::size_t formatPosition = position_;
  const std::uint8_t format = bytes_[position_++];
  if (format <= 0x7F) {
    target.SetSigned(format);
    return true;
  }
  if (format >= 0xE0) {
    target.SetSigned(static_cast<std::int8_t>(format));
    return true;
  }
  if (format <= 0x8F)
    return CheckDepth(formatPosition) && OpenMap(target, format & 0x0F);
  if (format <= 0x9F)
    return CheckDepth(formatPosition) && OpenArray(target, format & 0x0F);
  if (format <= 0xBF)
    return ReadString(target, format & 0x1F);
  return ReadTaggedItem(target, format, formatPosition);
}

// Formats 0xC0 to 0xDF: those whose length, count or number follows the format byte.
bool MessagePackReader::ReadTaggedItem(BindingProperty& target, std::uint8_t format,
                                       std::size_t formatPosition) {
  std::uint64_t size = 0;
  switch (format) {
    case 0xC0:
      target.Clear();
      return true;
    case 0xC2:
    case 0xC3:
      target.SetBool(format == 0xC3);
      return true;
    case 0xC4:
      return ReadBigEndian<1>(size) && ReadBlob(target, size);
    case 0xC5:
      return ReadBigEndian<2>(size) && ReadBlob(target, size);
    case 0xC6:
      return ReadBigEndian<4>(size) && ReadBlob(target, size);
    case 0xD9:
      return ReadBigEndian<1>(size) && ReadString(target, size);
    case 0xDA:
      return ReadBigEndian<2>(size) && ReadString(target, size);
    case 0xDB:
      return ReadBigEndian<4>(size) && ReadString(target, size);
    case 0xDC:
      return CheckDepth(formatPosition) && ReadBigEndian<2>(size) && OpenArray(target, size);
    case 0xDD:
      return CheckDepth(formatPosition) && ReadBigEndian<4>(size) && OpenArray(target, size);
    case 0xDE:
      return CheckDepth(formatPosition) && ReadBigEndian<2>(size) && OpenMap(target, size);
    case 0xDF:
      return CheckDepth(formatPosition) && ReadBigEndian<4>(size) && OpenMap(target, size);
    default:
      break;
  }
  if (format >= 0xCA && format <= 0xD3)
    return ReadNumber(target, format);
  // 0xC1 is never used; ext and fixext carry types this reader gives no meaning.
  return Fail(dul::FormatText(kInvalidData, formatPosition));
}

// Floats 0xCA and 0xCB, unsigned 0xCC to 0xCF, signed (sign-extended) 0xD0 to 0xD3.
bool MessagePackReader::ReadNumber(BindingProperty& target, std::uint8_t format) {
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

// Reads a member name and returns the member it selects (inserted when new); null on failure.
BindingProperty* MessagePackReader::ReadKey(BindingProperty& map) {
  if (position_ == length_) {
    Fail(dul::FormatText(kIntegerTruncated, 8, position_));
    return nullptr;
  }
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
    return nullptr;
  if (length_ - position_ < size) {
    Fail(dul::FormatText(kStringTruncated, size, position_));
    return nullptr;
  }
  const std::string_view name(reinterpret_cast<const char*>(bytes_ + position_), size);
  position_ += size;
  return &map.Member(name);
}

bool MessagePackReader::ReadString(BindingProperty& target, std::uint64_t size) {
  if (length_ - position_ < size)
    return Fail(dul::FormatText(kStringTruncated, size, position_));
  target.SetString(std::string_view(reinterpret_cast<const char*>(bytes_ + position_), size));
  position_ += size;
  return true;
}

bool MessagePackReader::ReadBlob(BindingProperty& target, std::uint64_t size) {
  if (length_ - position_ < size)
    return Fail(dul::FormatText(kRawBytesTruncated, size, position_));
  target.SetBlob(std::span<const std::uint8_t>(bytes_ + position_, size));
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

// An existing collection (a repeated map key) is kept and extended.
bool MessagePackReader::OpenArray(BindingProperty& target, std::uint64_t count) {
  target.SetCollection();
  if (count == 0)
    return true;
  const std::uint64_t remaining = length_ - position_;
  const std::uint64_t spare = remaining > promisedBytes_ ? remaining - promisedBytes_ : 0;
  target.Reserve(target.Size() + static_cast<std::size_t>(std::min(count, spare)));
  open_[depth_++] = {&target, static_cast<std::uint32_t>(count), false};
  promisedBytes_ += count;
  return true;
}

// An existing structure (a repeated map key) is kept and its members merged into.
bool MessagePackReader::OpenMap(BindingProperty& target, std::uint64_t count) {
  target.SetStructure();
  if (count == 0)
    return true;
  open_[depth_++] = {&target, static_cast<std::uint32_t>(count), true};
  promisedBytes_ += 2 * count;
  return true;
}

}  // namespace

MessagePackReadResult ReadMessagePack(const std::uint8_t* bytes, std::size_t length) {
  MessagePackReadResult read;
  MessagePackReader reader(bytes, length);
  if (reader.Read(read.result.ResetValue()))
    read.consumed = reader.position();
  else
    read.result.SetError(reader.error());
  return read;
}

}  // namespace Zorv

#include "codecs/yaml_reader.h"

#include <yaml.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "codecs/yaml_anchor_table.h"
#include "codecs/yaml_scalar.h"
#include "foundation/format_text.h"

namespace Zorv {
namespace {

using dul::FormatText;

std::string_view TextOf(const yaml_char_t* text) {
  return text == nullptr ? std::string_view()
                         : std::string_view(reinterpret_cast<const char*>(text));
}

// A line and column counted from 1.
struct TextPosition {
  std::uint64_t line;
  std::uint64_t column;
};

TextPosition StartOf(const yaml_event_t& event) {
  return {event.start_mark.line + 1, event.start_mark.column + 1};
}

// libyaml's reader reports a byte offset only; its lines and columns count characters.
TextPosition PositionOfOffset(std::string_view text, std::size_t offset) {
  TextPosition position{1, 1};
  offset = std::min(offset, text.size());
  for (std::size_t at = 0; at < offset; ++at) {
    const char c = text[at];
    if (c == '\n' || (c == '\r' && (at + 1 >= text.size() || text[at + 1] != '\n'))) {
      ++position.line;
      position.column = 1;
    } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++position.column;
    }
  }
  return position;
}

// libyaml's parser over one text, with its error as a message.
class LibyamlParser {
 public:
  explicit LibyamlParser(std::string_view text) : text_(text) {
    ready_ = yaml_parser_initialize(&parser_) != 0;
    if (!ready_)
      return;
    yaml_parser_set_encoding(&parser_, YAML_UTF8_ENCODING);
    yaml_parser_set_input_string(&parser_, reinterpret_cast<const unsigned char*>(text.data()),
                                 text.size());
  }
  ~LibyamlParser() {
    if (ready_)
      yaml_parser_delete(&parser_);
  }
  LibyamlParser(const LibyamlParser&) = delete;
  LibyamlParser& operator=(const LibyamlParser&) = delete;

  // The next event, to be released with yaml_event_delete; false on a parse error.
  bool Next(yaml_event_t& event) { return ready_ && yaml_parser_parse(&parser_, &event) != 0; }

  std::string ErrorMessage() const {
    const char* problem = ready_ ? parser_.problem : nullptr;
    TextPosition position{1, 1};
    if (ready_ && parser_.error == YAML_READER_ERROR) {
      position = PositionOfOffset(text_, parser_.problem_offset);
    } else if (ready_) {
      position = {parser_.problem_mark.line + 1, parser_.problem_mark.column + 1};
    }
    return FormatText("YAML parser error: %1. At line: %2 col: %3",
                      problem != nullptr ? problem : "out of memory", position.line,
                      position.column);
  }

 private:
  std::string_view text_;
  yaml_parser_t parser_{};
  bool ready_ = false;
};

// Where a value goes: the document root, a new element of the open collection, or the member
// of the open structure named by the pending key.
enum class SlotKind : std::uint8_t { kRoot, kElement, kMember };

struct Slot {
  BindingProperty* value;
  SlotKind kind;
  std::uint32_t elementIndex;
};

// An open collection or structure.
struct Frame {
  BindingProperty* container;
  SlotKind kind;
  bool structure;
  bool awaitingKey;
  std::uint32_t elementIndex;
  std::uint32_t nameOffset;  // a member's name, in the reader's name stack
  std::uint32_t nameLength;
  std::int32_t node;  // its path node, made when an anchor below needs it
  std::uint32_t anchor;
  std::uint32_t anchorsBefore;
  std::uint64_t valuesBefore;
  std::uint32_t childHeight;  // containers on the longest path below it
};

class YamlDocumentReader {
 public:
  explicit YamlDocumentReader(std::string_view text) : parser_(text), anchors_(root_) {
    frames_.reserve(32);
  }

  BindingResult Read();

 private:
  bool Handle(const yaml_event_t& event);
  bool OnDocumentStart();
  bool OnScalar(const yaml_event_t& event);
  bool OnKey(const yaml_event_t& event, std::string_view text, std::string_view tag);
  bool OnAlias(const yaml_event_t& event);
  bool OnAliasAsKey(const yaml_event_t& event, std::uint32_t anchor);
  bool OnContainerStart(const yaml_event_t& event, bool structure);
  void OnContainerEnd();
  bool RecordAnchor(const yaml_event_t& event, std::string_view name, std::int32_t node,
                    std::uint32_t& index);

  bool AwaitingKey() const {
    return !frames_.empty() && frames_.back().structure && frames_.back().awaitingKey;
  }
  Slot AcquireSlot();
  std::int32_t SlotNode(const Slot& slot);
  std::int32_t FrameNode(std::size_t frame);
  void NoteChildHeight(std::uint32_t height);

  bool Fail(std::string message) {
    error_ = std::move(message);
    failed_ = true;
    return false;
  }
  bool FailAt(std::string_view format, const yaml_event_t& event) {
    const TextPosition at = StartOf(event);
    return Fail(FormatText(format, at.line, at.column));
  }
  bool FailTooDeep(const yaml_event_t& event) {
    const TextPosition at = StartOf(event);
    return Fail(FormatText("YAML nesting is deeper than %1 levels. At line: %2 col: %3",
                           kMaxYamlDepth, at.line, at.column));
  }
  bool FailNamed(std::string_view format, std::string_view name, const yaml_event_t& event) {
    const TextPosition at = StartOf(event);
    return Fail(FormatText(format, name, at.line, at.column));
  }

  LibyamlParser parser_;
  BindingProperty root_;
  YamlAnchorTable anchors_;
  std::vector<Frame> frames_;
  std::string pendingName_;
  std::string frameNames_;
  std::uint64_t createdValues_ = 0;
  std::uint64_t aliasValues_ = 0;
  int documents_ = 0;
  bool failed_ = false;
  std::string error_;
};

BindingResult YamlDocumentReader::Read() {
  BindingResult result;
  for (bool ended = false; !ended && !failed_;) {
    yaml_event_t event;
    if (!parser_.Next(event)) {
      Fail(parser_.ErrorMessage());
      break;
    }
    ended = event.type == YAML_STREAM_END_EVENT;
    Handle(event);
    yaml_event_delete(&event);
  }
  if (failed_)
    result.SetError(error_);
  else
    result = std::move(root_);
  return result;
}

bool YamlDocumentReader::Handle(const yaml_event_t& event) {
  switch (event.type) {
    case YAML_DOCUMENT_START_EVENT:
      return OnDocumentStart();
    case YAML_SCALAR_EVENT:
      return OnScalar(event);
    case YAML_ALIAS_EVENT:
      return OnAlias(event);
    case YAML_SEQUENCE_START_EVENT:
      return OnContainerStart(event, false);
    case YAML_MAPPING_START_EVENT:
      return OnContainerStart(event, true);
    case YAML_SEQUENCE_END_EVENT:
    case YAML_MAPPING_END_EVENT:
      OnContainerEnd();
      return true;
    default:
      return true;
  }
}

// Any second document is refused, an empty first one too: the reader returns one value.
bool YamlDocumentReader::OnDocumentStart() {
  if (documents_++ > 0)
    return Fail("Multi-document YAML is not supported.");
  return true;
}

bool YamlDocumentReader::OnScalar(const yaml_event_t& event) {
  const auto& scalar = event.data.scalar;
  const std::string_view text(reinterpret_cast<const char*>(scalar.value), scalar.length);
  const std::string_view tag = TextOf(scalar.tag);
  if (AwaitingKey())
    return OnKey(event, text, tag);
  const Slot slot = AcquireSlot();
  const bool quoted = scalar.style == YAML_SINGLE_QUOTED_SCALAR_STYLE ||
                      scalar.style == YAML_DOUBLE_QUOTED_SCALAR_STYLE;
  if (!TypeYamlScalar(*slot.value, text, tag,
                      quoted ? YamlScalarQuoting::kQuoted : YamlScalarQuoting::kUnquoted, error_))
    return Fail(std::move(error_));
  ++createdValues_;
  if (scalar.anchor == nullptr)
    return true;
  std::uint32_t anchor = 0;
  if (!RecordAnchor(event, TextOf(scalar.anchor), SlotNode(slot), anchor))
    return false;
  anchors_.Complete(anchor, 1, 0);
  if (slot.kind == SlotKind::kMember)
    anchors_.NoteAnchorsInside(slot.value, anchor, anchor + 1);
  return true;
}

bool YamlDocumentReader::OnKey(const yaml_event_t& event, std::string_view text,
                               std::string_view tag) {
  if (!tag.empty() && tag != kYamlStringTag)
    return FailAt("Invalid mapping key. Only string scalar keys are allowed. At line: %1 col: %2",
                  event);
  pendingName_.assign(text);
  frames_.back().awaitingKey = false;
  const std::string_view name = TextOf(event.data.scalar.anchor);
  if (name.empty())
    return true;
  // The key's text is the anchored value; it lives in the table, not in the document.
  std::uint32_t anchor = 0;
  if (!RecordAnchor(event, name, anchors_.OwnTextNode(text), anchor))
    return false;
  anchors_.Complete(anchor, 1, 0);
  return true;
}

bool YamlDocumentReader::OnAlias(const yaml_event_t& event) {
  const std::string_view name = TextOf(event.data.alias.anchor);
  const std::uint32_t anchor = anchors_.Find(name);
  if (anchor == YamlAnchorTable::kNotFound)
    return FailNamed("Undefined alias encountered: \"%1\". At line: %2 col: %3", name, event);
  if (!anchors_.at(anchor).complete)
    return FailNamed("Cannot deserialize cyclic aliases. Alias \"%1\". At line: %2 col: %3", name,
                     event);
  if (AwaitingKey())
    return OnAliasAsKey(event, anchor);
  const std::uint32_t height = anchors_.at(anchor).height;
  const std::uint64_t count = anchors_.at(anchor).valueCount;
  if (frames_.size() + height > kMaxYamlDepth)
    return FailTooDeep(event);
  if (count > kMaxYamlAliasValues - aliasValues_) {
    const TextPosition at = StartOf(event);
    return Fail(FormatText("YAML alias expansion exceeds %1 values. At line: %2 col: %3",
                           kMaxYamlAliasValues, at.line, at.column));
  }
  aliasValues_ += count;
  createdValues_ += count;
  // The slot first: taking it may copy anchored values aside, which moves the table's copies.
  const Slot slot = AcquireSlot();
  *slot.value = anchors_.Value(anchor);
  NoteChildHeight(height);
  return true;
}

// An alias as a mapping key names the member by its anchored text.
bool YamlDocumentReader::OnAliasAsKey(const yaml_event_t& event, std::uint32_t anchor) {
  const BindingProperty& value = anchors_.Value(anchor);
  if (value.Kind() != BindingPropertyKind::kString)
    return FailAt("Invalid mapping key. Only string scalar keys are allowed. At line: %1 col: %2",
                  event);
  pendingName_.assign(value.GetString());
  frames_.back().awaitingKey = false;
  return true;
}

bool YamlDocumentReader::OnContainerStart(const yaml_event_t& event, bool structure) {
  if (AwaitingKey())
    return FailAt(structure ? "Unexpected start of mapping. At line: %1 col: %2"
                            : "Unexpected start of sequence. At line: %1 col: %2",
                  event);
  if (frames_.size() >= kMaxYamlDepth)
    return FailTooDeep(event);
  const Slot slot = AcquireSlot();
  if (structure)
    slot.value->SetStructure();
  else
    slot.value->SetCollection();
  Frame frame{slot.value,
              slot.kind,
              structure,
              structure,
              slot.elementIndex,
              0,
              0,
              YamlAnchorTable::kNoNode,
              YamlAnchorTable::kNotFound,
              anchors_.size(),
              createdValues_++,
              0};
  if (slot.kind == SlotKind::kMember) {
    frame.nameOffset = static_cast<std::uint32_t>(frameNames_.size());
    frame.nameLength = static_cast<std::uint32_t>(pendingName_.size());
    frameNames_.append(pendingName_);
  }
  frames_.push_back(frame);
  const std::string_view name =
      TextOf(structure ? event.data.mapping_start.anchor : event.data.sequence_start.anchor);
  if (name.empty())
    return true;
  return RecordAnchor(event, name, FrameNode(frames_.size() - 1), frames_.back().anchor);
}

void YamlDocumentReader::OnContainerEnd() {
  const Frame frame = frames_.back();
  frames_.pop_back();
  if (frame.kind == SlotKind::kMember)
    frameNames_.resize(frame.nameOffset);
  const std::uint32_t height = frame.childHeight + 1;
  if (frame.anchor != YamlAnchorTable::kNotFound)
    anchors_.Complete(frame.anchor, createdValues_ - frame.valuesBefore, height);
  if (frame.kind == SlotKind::kMember && anchors_.size() > frame.anchorsBefore)
    anchors_.NoteAnchorsInside(frame.container, frame.anchorsBefore, anchors_.size());
  NoteChildHeight(height);
}

bool YamlDocumentReader::RecordAnchor(const yaml_event_t& event, std::string_view name,
                                      std::int32_t node, std::uint32_t& index) {
  if (anchors_.Find(name) != YamlAnchorTable::kNotFound)
    return FailNamed("Duplicate occurrence of anchor \"%1\". At line: %2 col: %3", name, event);
  index = anchors_.Add(name, node);
  return true;
}

Slot YamlDocumentReader::AcquireSlot() {
  if (frames_.empty())
    return {&root_, SlotKind::kRoot, 0};
  Frame& top = frames_.back();
  BindingProperty& container = *top.container;
  if (!top.structure) {
    BindingProperty& element = container.PushBack();
    return {&element, SlotKind::kElement, static_cast<std::uint32_t>(container.Size() - 1)};
  }
  top.awaitingKey = true;
  // Only anchors care whether a key repeats; without any, the check is skipped.
  const bool watch = anchors_.size() != 0;
  const std::size_t membersBefore = watch ? container.Size() : 0;
  BindingProperty& member = container.Member(pendingName_);
  // A repeated key replaces the earlier value whole; anchors inside it keep what they marked.
  if (watch && container.Size() == membersBefore)
    anchors_.BeforeReplacing(&member);
  member.Clear();
  return {&member, SlotKind::kMember, 0};
}

std::int32_t YamlDocumentReader::SlotNode(const Slot& slot) {
  switch (slot.kind) {
    case SlotKind::kRoot:
      return anchors_.RootNode();
    case SlotKind::kElement:
      return anchors_.ElementNode(FrameNode(frames_.size() - 1), slot.elementIndex);
    default:
      return anchors_.MemberNode(FrameNode(frames_.size() - 1), pendingName_);
  }
}

// The path node of an open container, made for it and for its open ancestors that lack one.
std::int32_t YamlDocumentReader::FrameNode(std::size_t frame) {
  std::size_t first = frame + 1;
  while (first > 0 && frames_[first - 1].node == YamlAnchorTable::kNoNode)
    --first;
  for (std::size_t at = first; at <= frame; ++at) {
    Frame& open = frames_[at];
    const std::int32_t parent = at == 0 ? YamlAnchorTable::kNoNode : frames_[at - 1].node;
    if (open.kind == SlotKind::kRoot)
      open.node = anchors_.RootNode();
    else if (open.kind == SlotKind::kElement)
      open.node = anchors_.ElementNode(parent, open.elementIndex);
    else
      open.node = anchors_.MemberNode(
          parent, std::string_view(frameNames_).substr(open.nameOffset, open.nameLength));
  }
  return frames_[frame].node;
}

void YamlDocumentReader::NoteChildHeight(std::uint32_t height) {
  if (!frames_.empty())
    frames_.back().childHeight = std::max(frames_.back().childHeight, height);
}

}  // namespace

BindingResult ParseYaml(std::string_view text) {
  YamlDocumentReader reader(text);
  return reader.Read();
}

}  // namespace Zorv

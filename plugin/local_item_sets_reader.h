// LocalItemSetsReader: loads the local item-set cache file for requests that may read it again
// unchanged. It remembers the last text read or written and the document that text reads as, so
// that reading the same text again costs a comparison and a copy instead of a parse and a
// conversion; the result is the same as LoadLocalItemSets'. What the plugin writes reads back as
// the document it wrote: every field is a text or an integer, and the JSON codec carries both
// exactly.
#pragma once

#include <string>

#include "plugin/item_sets_api.h"

namespace Zorv {
class BindingTypeRegistry;
}  // namespace Zorv

namespace dul::item_sets {

class LocalItemSetsReader {
 public:
  enum class Keep : bool { kNo, kYes };

  // Replaces `document` by the file's, as LoadLocalItemSets does. With Keep::kYes the text and
  // its document are remembered for the next load; with kNo nothing is kept (the file is about to
  // be replaced), so a remembered document is handed over instead of copied.
  void Load(const std::string& path, Zorv::Client::ItemSets::Api::ItemSets& document,
            const Zorv::BindingTypeRegistry& registry, Keep keep);
  // The file now holds `text`, written from `document`.
  void Remember(std::string text, const Zorv::Client::ItemSets::Api::ItemSets& document);
  // Drops what is remembered: for when the file is about to be replaced.
  void Forget();

 private:
  std::string text_;
  Zorv::Client::ItemSets::Api::ItemSets document_;
  bool remembered_ = false;
};

}  // namespace dul::item_sets

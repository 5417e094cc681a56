// LocalItemSetsReader: loads the local item-set cache file into the plugin's document, and skips
// the parse and the conversion when the file still holds the text that the document was last read
// from or written as, and the document has not changed since. What the plugin writes reads back as
// the document it wrote: every field is a text or an integer, and the JSON codec carries both
// exactly. The owner calls Forget before it changes the document in any other way.
#pragma once

#include <string>

#include "plugin/item_sets_api.h"

namespace Zorv {
class BindingTypeRegistry;
}  // namespace Zorv

namespace dul::item_sets {

class LocalItemSetsReader {
 public:
  // Replaces `document` by the file's, as LoadLocalItemSets does, unless `document` already is
  // what the file's text reads as.
  void Load(const std::string& path, Zorv::Client::ItemSets::Api::ItemSets& document,
            const Zorv::BindingTypeRegistry& registry);
  // The file now holds `text`, written from the document as it stands.
  void Remember(std::string text);
  // The document or the file is about to change otherwise: the next load reads the file.
  void Forget();

 private:
  std::string text_;
  bool remembered_ = false;
};

}  // namespace dul::item_sets

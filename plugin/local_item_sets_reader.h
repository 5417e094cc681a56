// LocalItemSetsReader: loads the local item-set cache file for requests that may read it again
// unchanged. It remembers the last text read and the document that text gave, so that reading the
// same text again costs a comparison and a copy instead of a parse and a conversion; the result is
// the same as LoadLocalItemSets'.
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
  // its document are remembered for the next load; with kNo nothing new is kept.
  void Load(const std::string& path, Zorv::Client::ItemSets::Api::ItemSets& document,
            const Zorv::BindingTypeRegistry& registry, Keep keep);
  // Drops what is remembered: for when the file is about to be replaced.
  void Forget();

 private:
  std::string text_;
  Zorv::Client::ItemSets::Api::ItemSets document_;
  bool remembered_ = false;
};

}  // namespace dul::item_sets

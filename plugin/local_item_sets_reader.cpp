#include "plugin/local_item_sets_reader.h"

#include <utility>

#include "platform/file_system.h"
#include "plugin/local_item_sets_cache.h"

namespace dul::item_sets {

using Zorv::Client::ItemSets::Api::ItemSets;

void LocalItemSetsReader::Load(const std::string& path, ItemSets& document,
                               const Zorv::BindingTypeRegistry& registry, Keep keep) {
  std::string text = platform::ReadWholeFile(path).value_or(std::string());
  if (remembered_ && text == text_) {
    if (keep == Keep::kYes) {
      document = document_;
    } else {
      document = std::move(document_);
      Forget();
    }
    return;
  }
  Forget();
  document = ItemSetsFromJson(text, registry).value_or(ItemSets());
  if (keep == Keep::kYes) {
    text_ = std::move(text);
    document_ = document;
    remembered_ = true;
  }
}

void LocalItemSetsReader::Remember(std::string text, const ItemSets& document) {
  text_ = std::move(text);
  document_ = document;
  remembered_ = true;
}

void LocalItemSetsReader::Forget() {
  remembered_ = false;
  std::string().swap(text_);  // a plain assignment could keep the old capacity
  document_ = ItemSets();
}

}  // namespace dul::item_sets

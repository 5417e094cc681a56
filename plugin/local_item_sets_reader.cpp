#include "plugin/local_item_sets_reader.h"

#include <utility>

#include "platform/file_system.h"
#include "plugin/local_item_sets_cache.h"

namespace dul::item_sets {

using Zorv::Client::ItemSets::Api::ItemSets;

void LocalItemSetsReader::Load(const std::string& path, ItemSets& document,
                               const Zorv::BindingTypeRegistry& registry) {
  std::string text = platform::ReadWholeFile(path).value_or(std::string());
  if (remembered_ && text == text_)
    return;
  document = ItemSetsFromJson(text, registry).value_or(ItemSets());
  Remember(std::move(text));
}

void LocalItemSetsReader::Remember(std::string text) {
  text_ = std::move(text);
  remembered_ = true;
}

void LocalItemSetsReader::Forget() {
  remembered_ = false;
  std::string().swap(text_);  // a plain assignment could keep the old capacity
}

}  // namespace dul::item_sets

#include "plugin/local_item_sets_cache.h"

#include <utility>

#include "binding/native_conversion.h"
#include "codecs/json_reader.h"
#include "codecs/json_writer.h"
#include "platform/file_system.h"
#include "plugin/install_locator.h"
#include "plugin/local_item_sets_reader.h"

namespace dul::item_sets {

using Zorv::Client::ItemSets::Api::ItemSets;
using Zorv::Client::ItemSets::Api::LoginSession;

std::string LocalItemSetsPathIn(std::string_view configDirectory) {
  std::string path(configDirectory);
  path += kLocalItemSetsFileName;
  return path;
}

std::string GetLocalItemSetsPath() {
  return LocalItemSetsPathIn(GetGameConfigDirectory());
}

std::optional<std::string> ItemSetsToJson(const ItemSets& document,
                                          const Zorv::BindingTypeRegistry& registry) {
  const Zorv::BindingResult converted = Zorv::SerializeToBinding(document, registry);
  if (!converted.ok()) {
    return std::nullopt;
  }
  return Zorv::WriteJson(converted.value(), &registry, nullptr);
}

std::optional<ItemSets> ItemSetsFromJson(const std::string& text,
                                         const Zorv::BindingTypeRegistry& registry) {
  Zorv::BindingResult result = Zorv::ParseJson(text);
  if (!result.ok()) {
    return std::nullopt;
  }
  const Zorv::BindingProperty parsed = result.TakeValue();
  ItemSets document;
  Zorv::FromBinding(result, document, parsed, "ItemSets", registry);
  if (!result.ok()) {
    return std::nullopt;
  }
  return document;
}

bool NamesForeignAccount(const ItemSets& document, const LoginSession& session) {
  return session.accountId != 0 && document.accountId != 0 &&
         session.accountId != document.accountId;
}

void LoadLocalItemSets(const std::string& path, ItemSets& document,
                       const Zorv::BindingTypeRegistry& registry) {
  LocalItemSetsReader().Load(path, document, registry);  // a reader that remembers nothing yet
}

bool SaveLocalItemSets(const std::string& path, std::uint64_t version, ItemSets& document,
                       const LoginSession& session, const Zorv::BindingTypeRegistry& registry) {
  StampItemSets(version, document, session);
  const Zorv::BindingResult converted = Zorv::SerializeToBinding(document, registry);
  return converted.ok() && WriteLocalItemSets(path, converted.value(), registry).has_value();
}

void StampItemSets(std::uint64_t version, ItemSets& document, const LoginSession& session) {
  document.accountId = session.accountId;
  if (version != 0) {
    document.timestamp = version;
  }
}

std::optional<std::string> WriteLocalItemSets(const std::string& path,
                                              const Zorv::BindingProperty& converted,
                                              const Zorv::BindingTypeRegistry& registry) {
  std::string text = Zorv::WriteJson(converted, &registry, nullptr);
  if (!platform::ReplaceFileAtomically(path, text))
    return std::nullopt;
  return text;
}

void DiscardForeignLocalItemSets(const std::string& path, ItemSets& document,
                                 const LoginSession& session) {
  if (!NamesForeignAccount(document, session)) {
    return;
  }
  // A failure keeps the old file whole; the next discard tries again.
  (void)platform::ReplaceFileAtomically(path, std::string_view());
  document = ItemSets();
}

}  // namespace dul::item_sets

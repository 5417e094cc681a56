// The local item-set cache file, "ItemSets.json" in the game's configuration directory: the
// item-set document of the last account as compact JSON, kept so that the document survives a
// restart before the player-preferences service answers. An empty file holds no document.
//
// The operations take the plugin's state as arguments, so they run without a host:
//
//   const std::string path = GetLocalItemSetsPath();
//   SaveLocalItemSets(path, previousTimestamp, document, session, registry);
//   LoadLocalItemSets(path, document, registry);
//
// The file is only ever replaced whole (written beside it, flushed, renamed over it), so a crash
// or a full disk leaves either the old or the new content. Failures are neither reported nor
// logged: an unreadable file loads as the empty document and a failed write keeps the old file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "plugin/item_sets_api.h"

namespace Zorv {
class BindingProperty;
class BindingTypeRegistry;
}  // namespace Zorv

namespace dul::item_sets {

inline constexpr std::string_view kLocalItemSetsFileName = "/ItemSets.json";

// The file's path in a configuration directory that ends in "/": the directory followed by
// "/ItemSets.json", the doubled separator kept.
std::string LocalItemSetsPathIn(std::string_view configDirectory);

// The file's path in the game's configuration directory, looked up anew on every call.
std::string GetLocalItemSetsPath();

// The document as compact JSON, the text the file holds; nothing when it does not convert.
std::optional<std::string> ItemSetsToJson(const Zorv::Client::ItemSets::Api::ItemSets& document,
                                          const Zorv::BindingTypeRegistry& registry);

// The document a JSON text holds; nothing when the text does not parse or does not convert.
std::optional<Zorv::Client::ItemSets::Api::ItemSets> ItemSetsFromJson(
    const std::string& text, const Zorv::BindingTypeRegistry& registry);

// True when a player is signed in with a non-zero account and the document names another
// non-zero account: such a document must be neither shown nor kept.
bool NamesForeignAccount(const Zorv::Client::ItemSets::Api::ItemSets& document,
                         const Zorv::Client::ItemSets::Api::LoginSession& session);

// Replaces the document by the file's, whatever account it names; a missing, unreadable,
// empty or garbled file, or one that does not convert, gives the empty document.
void LoadLocalItemSets(const std::string& path, Zorv::Client::ItemSets::Api::ItemSets& document,
                       const Zorv::BindingTypeRegistry& registry);

// Stamps the document with the session's account and, unless `version` is 0, with `version` as
// its timestamp, then replaces the file by it. Returns whether the file now holds it; when the
// document does not convert the file is not touched.
bool SaveLocalItemSets(const std::string& path, std::uint64_t version,
                       Zorv::Client::ItemSets::Api::ItemSets& document,
                       const Zorv::Client::ItemSets::Api::LoginSession& session,
                       const Zorv::BindingTypeRegistry& registry);

// The two halves of SaveLocalItemSets, for a caller that converts the stamped document once for
// more than the file: the stamp, and the replacement of the file by the converted document.
void StampItemSets(std::uint64_t version, Zorv::Client::ItemSets::Api::ItemSets& document,
                   const Zorv::Client::ItemSets::Api::LoginSession& session);
// The text the file now holds, or nothing when it could not be replaced.
std::optional<std::string> WriteLocalItemSets(const std::string& path,
                                              const Zorv::BindingProperty& converted,
                                              const Zorv::BindingTypeRegistry& registry);

// When the document belongs to another account than the signed-in one, empties the file and
// sets the empty document. Nothing happens while either account id is 0.
void DiscardForeignLocalItemSets(const std::string& path,
                                 Zorv::Client::ItemSets::Api::ItemSets& document,
                                 const Zorv::Client::ItemSets::Api::LoginSession& session);

}  // namespace dul::item_sets

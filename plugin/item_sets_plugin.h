// ItemSetsPlugin: the single plugin object of the item-set service. It holds the item-set
// document of the signed-in account, the last login session seen, the three settings of the
// platform configuration and two flags; every activity of the service is a callback on it.
//
// Callbacks by concern: RegisterApi and OnInitialize in item_sets_plugin.cpp, the resource's
// handlers in item_sets_resource.cpp, the login and configuration handlers in
// session_and_settings.cpp, the readiness handler and the synchronisation with the
// player-preferences service in preferences_sync.cpp.
#pragma once

#include <cstdint>

#include "binding/binding_property.h"
#include "plugin/item_set_settings.h"
#include "plugin/item_sets_api.h"
#include "plugin/local_item_sets_reader.h"
#include "runtime/plugin_base.h"
#include "runtime/resource_events.h"

namespace dul::item_sets {

inline constexpr const char* kPluginShortName = "dul-item-sets";

class ItemSetsPlugin : public PluginBase {
 public:
  ItemSetsPlugin() = default;
  ~ItemSetsPlugin() override = default;

  // The item-set types, then GET, PUT and POST on the item-set resource.
  void RegisterApi() override;
  // Follows the login session, the item-set configuration and the preferences readiness.
  bool OnInitialize() override;

  const Zorv::Client::ItemSets::Api::ItemSets& currentItemSets() const { return currentItemSets_; }
  const Zorv::Client::ItemSets::Api::LoginSession& loginSession() const { return loginSession_; }
  bool preferencesReady() const { return preferencesReady_; }
  bool editorEnabled() const { return editorEnabled_; }
  bool sendItemSetsToGame() const { return sendItemSetsToGame_; }
  bool uploadPending() const { return uploadPending_; }
  bool uploadUnsent() const { return uploadUnsent_; }
  double uploadRateLimit() const { return uploadRateLimit_; }

 private:
  // The resource "/dul-item-sets/v1/item-sets/{summonerId}/sets". A GET answers with the document
  // itself, converted for the answer without a copy.
  const Zorv::Client::ItemSets::Api::ItemSets& GetItemSets(std::uint64_t summonerId);
  void PutItemSets(std::uint64_t summonerId, Zorv::Client::ItemSets::Api::ItemSets itemSets);
  void PostItemSet(std::uint64_t summonerId, Zorv::Client::ItemSets::Api::ItemSet itemSet);
  // The document a request works on: while it has no version, the cache file's, so that requests
  // see what was stored last, unless memory holds a change still to be uploaded; never another
  // account's sets.
  void LoadItemSetsForRequest();
  // After a request changed the document: normalise, store, announce on the summoner's path and
  // mark it for upload.
  void AcceptChangedItemSets(std::uint64_t summonerId, std::uint64_t previousTimestamp);

  // Change events of the resources the plugin follows.
  void OnLoginSession(const ResourceEvent<Zorv::Client::ItemSets::Api::LoginSession>& event);
  void OnPlatformConfig(const ResourceEvent<Zorv::BindingProperty>& event);
  void OnPlayerPreferencesReady(const ResourceEvent<bool>& event);

  // Synchronisation with the player-preferences service.
  bool SignedIn() const;
  // Reconciles the document with the service's copy; runs as a deferred task.
  void RetrieveItemSetsFromPlayerPrefsService();
  // Replaces the document by the service's copy of version `modified`, stores and exports it.
  void TakeOverServiceItemSets(const Zorv::BindingProperty& answer, std::uint64_t modified);
  // Each tick of the upload timer: export, metrics and upload of a pending change, or the
  // upload alone of a change that could not be sent before.
  void CheckUpload();
  // Stores the document at the service and, once stored, in the cache file with its new version.
  void UploadItemSets();
  // Replaces the document by the cache file's, except while a change is still to be uploaded.
  void LoadItemSetsFromCache();
  // Empties the cache file and the document when they name another account than the signed-in
  // one; a change of that account that is still to be uploaded is dropped with them.
  void DiscardForeignItemSets();
  // The same in memory only, the cache file left for a reconciliation to discard. Returns
  // whether the document was another account's.
  bool ForgetForeignItemSets();
  void ExportToGame();

  Zorv::Client::ItemSets::Api::ItemSets currentItemSets_;
  LocalItemSetsReader cacheReader_;  // told to forget before the document changes otherwise
  Zorv::Client::ItemSets::Api::LoginSession loginSession_;
  bool preferencesReady_ = false;
  bool editorEnabled_ = true;
  bool sendItemSetsToGame_ = true;
  bool uploadPending_ = false;
  // A change that was handed on by the upload check but has not reached the service yet.
  bool uploadUnsent_ = false;
  double uploadRateLimit_ = kMinimumUploadRateLimit;  // seconds
};

}  // namespace dul::item_sets

// ItemSetsPlugin: the single plugin object of the item-set service. It holds the item-set
// document of the signed-in account, the last login session seen, the three settings of the
// platform configuration and two flags; every activity of the service is a callback on it.
#pragma once

#include "plugin/item_sets_api.h"
#include "runtime/plugin_base.h"

namespace dul::item_sets {

inline constexpr const char* kPluginShortName = "dul-item-sets";

class ItemSetsPlugin : public PluginBase {
 public:
  ItemSetsPlugin() = default;
  ~ItemSetsPlugin() override = default;

  const Zorv::Client::ItemSets::Api::ItemSets& currentItemSets() const { return currentItemSets_; }
  const Zorv::Client::ItemSets::Api::LoginSession& loginSession() const { return loginSession_; }
  bool preferencesReady() const { return preferencesReady_; }
  bool editorEnabled() const { return editorEnabled_; }
  bool sendItemSetsToGame() const { return sendItemSetsToGame_; }
  bool uploadPending() const { return uploadPending_; }
  double uploadRateLimit() const { return uploadRateLimit_; }

 private:
  Zorv::Client::ItemSets::Api::ItemSets currentItemSets_;
  Zorv::Client::ItemSets::Api::LoginSession loginSession_;
  bool preferencesReady_ = false;
  bool editorEnabled_ = true;
  bool sendItemSetsToGame_ = true;
  bool uploadPending_ = false;
  double uploadRateLimit_ = 5.0;  // seconds, never below 5.0
};

}  // namespace dul::item_sets

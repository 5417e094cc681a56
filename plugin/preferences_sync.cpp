// The item sets kept in step with the player-preferences service: reconciliation when the service
// reports ready, and the upload check of the repeating timer, which also exports the sets to the
// game and reports the save metrics.
//
// A change that the upload check handed on but could not store at the service (the service was
// not ready, or the store failed) stays marked as unsent and is stored at a later tick, without a
// second export or metrics report, so that no accepted change is silently left behind.
#include <cstdint>
#include <optional>
#include <string>

#include "plugin/game_export.h"
#include "plugin/item_set_save_metrics.h"
#include "plugin/item_sets_plugin.h"
#include "plugin/local_item_sets_cache.h"
#include "plugin/normalize_item_sets.h"
#include "runtime/json_api_client.h"
#include "runtime/plugin_scheduler.h"

namespace dul::item_sets {

using Zorv::BindingProperty;
using Zorv::Client::PluginResourceEventType;
using Zorv::Client::ItemSets::Api::ItemSets;
using Zorv::Client::ItemSets::Api::LoginSessionState;

namespace {

constexpr const char* kRetrieveTaskName = "ItemSetsPlugin.RetrieveItemSetsFromPlayerPrefsService";
constexpr const char* kCheckUploadTimerName = "dul-item-sets.check_upload";
constexpr const char* kPreferenceFetchUri = "/dul-player-preferences/v1/preference/ItemSets";
constexpr const char* kPreferenceStoreUri = "/dul-player-preferences/v1/preference";
constexpr const char* kPreferenceType = "ItemSets";
// The status with which the service answers a fetch of a copy that has not changed.
constexpr std::int32_t kNotModified = 304;

// The service's version of its copy; a missing member or one of another kind reads as 0.
std::uint64_t ModifiedOf(const BindingProperty& answer) {
  return answer.Find("modified").GetUnsigned(0);
}

}  // namespace

bool ItemSetsPlugin::SignedIn() const {
  return loginSession_.state == LoginSessionState::SUCCEEDED && loginSession_.accountId != 0;
}

void ItemSetsPlugin::OnPlayerPreferencesReady(const ResourceEvent<bool>& event) {
  preferencesReady_ = event.value;
  // The value delivered right after subscribing is a Create: it starts nothing.
  if (event.eventType != PluginResourceEventType::Update) {
    return;
  }
  if (SignedIn() && editorEnabled_) {
    if (preferencesReady_) {
      scheduler().ScheduleAt(
          kRetrieveTaskName, [this] { RetrieveItemSetsFromPlayerPrefsService(); },
          PluginScheduler::Now());
    } else {
      LoadItemSetsFromCache();
      DiscardForeignItemSets();
    }
  }
  // Replaces any earlier registration, so the interval is always the latest setting.
  scheduler().SetTimer(kCheckUploadTimerName, uploadRateLimit_, [this] { CheckUpload(); });
}

void ItemSetsPlugin::RetrieveItemSetsFromPlayerPrefsService() {
  LoadItemSetsFromCache();
  RequestResult<BindingProperty> fetched =
      RequestValue<BindingProperty>(*this, RequestMethod::kGet, kPreferenceFetchUri);
  if (!fetched.ok()) {
    if (fetched.error().code == kNotModified) {
      return;
    }
    DiscardForeignItemSets();
    ExportToGame();
    return;
  }
  const std::uint64_t modified = ModifiedOf(fetched.value());
  if (currentItemSets_.accountId == loginSession_.accountId) {
    if (currentItemSets_.timestamp == modified) {
      // The service holds the version this change was made on: the change itself is missing.
      if (uploadUnsent_) {
        UploadItemSets();
      }
      return;
    }
    if (currentItemSets_.timestamp > modified) {
      UploadItemSets();
      return;
    }
  }
  TakeOverServiceItemSets(fetched.value(), modified);
}

void ItemSetsPlugin::TakeOverServiceItemSets(const BindingProperty& answer,
                                             std::uint64_t modified) {
  const std::string text(answer.Find("data").GetString());
  std::optional<ItemSets> taken = ItemSetsFromJson(text, typeRegistry());
  if (!taken) {
    return;  // an unusable copy never replaces the document
  }
  cacheReader_.Forget();
  currentItemSets_ = std::move(*taken);
  // The newer copy supersedes whatever local change had not been sent.
  uploadUnsent_ = false;
  NormalizeItemSets(currentItemSets_);
  (void)SaveLocalItemSets(GetLocalItemSetsPath(), modified, currentItemSets_, loginSession_,
                          typeRegistry());
  ExportToGame();
}

void ItemSetsPlugin::CheckUpload() {
  if (!SignedIn() || !editorEnabled_) {
    return;  // a pending change waits for both
  }
  // A change made under another account reaches neither this account's store nor the game files
  // written for it.
  if (ForgetForeignItemSets()) {
    return;
  }
  if (uploadPending_) {
    uploadPending_ = false;
    ExportToGame();
    ReportItemSetSaveMetrics(*this, currentItemSets_);
    if (preferencesReady_) {
      UploadItemSets();
    } else {
      uploadUnsent_ = true;
    }
    return;
  }
  if (!uploadUnsent_ || !preferencesReady_) {
    return;
  }
  UploadItemSets();
}

void ItemSetsPlugin::UploadItemSets() {
  const std::optional<std::string> text = ItemSetsToJson(currentItemSets_, typeRegistry());
  if (!text) {
    uploadUnsent_ = true;
    return;
  }
  BindingProperty body;
  body.Member("data") = *text;
  body.Member("type") = kPreferenceType;
  RequestResult<BindingProperty> stored =
      RequestValue<BindingProperty>(*this, RequestMethod::kPut, kPreferenceStoreUri, body);
  if (!stored.ok()) {
    uploadUnsent_ = true;  // tried again at a later tick
    return;
  }
  uploadUnsent_ = false;
  cacheReader_.Forget();
  (void)SaveLocalItemSets(GetLocalItemSetsPath(), ModifiedOf(stored.value()), currentItemSets_,
                          loginSession_, typeRegistry());
}

void ItemSetsPlugin::LoadItemSetsFromCache() {
  // A change still to be uploaded may be memory's alone (its write or this read of the file
  // failed): a reload would lose it and upload the file's older document in its place.
  if (uploadPending_ || uploadUnsent_) {
    return;
  }
  cacheReader_.Load(GetLocalItemSetsPath(), currentItemSets_, typeRegistry());
}

void ItemSetsPlugin::DiscardForeignItemSets() {
  if (!NamesForeignAccount(currentItemSets_, loginSession_)) {
    return;
  }
  cacheReader_.Forget();
  DiscardForeignLocalItemSets(GetLocalItemSetsPath(), currentItemSets_, loginSession_);
  uploadPending_ = false;
  uploadUnsent_ = false;
}

bool ItemSetsPlugin::ForgetForeignItemSets() {
  if (!NamesForeignAccount(currentItemSets_, loginSession_)) {
    return false;
  }
  cacheReader_.Forget();
  currentItemSets_ = ItemSets();
  uploadPending_ = false;
  uploadUnsent_ = false;
  return true;
}

void ItemSetsPlugin::ExportToGame() {
  ExportItemSetsToGame(*this, currentItemSets_, sendItemSetsToGame_);
}

}  // namespace dul::item_sets

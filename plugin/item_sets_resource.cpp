#include "plugin/item_sets_resource.h"

#include <utility>

#include "binding/native_conversion.h"
#include "foundation/format_text.h"
#include "plugin/item_sets_plugin.h"
#include "plugin/local_item_sets_cache.h"
#include "plugin/normalize_item_sets.h"
#include "runtime/resource_events.h"

namespace dul::item_sets {

using Zorv::Client::PluginResourceEventType;
using Zorv::Client::ItemSets::Api::ItemSet;
using Zorv::Client::ItemSets::Api::ItemSets;

std::string ItemSetsResourceUri(std::uint64_t summonerId) {
  return FormatText("/dul-item-sets/v1/item-sets/%1/sets", summonerId);
}

void ItemSetsPlugin::LoadItemSetsForRequest() {
  if (currentItemSets_.timestamp == 0)
    LoadItemSetsFromCache();
  // Whichever way they came into memory (this load, a reconciliation, an earlier session's
  // change), another account's sets are never shown to this one nor built upon.
  (void)ForgetForeignItemSets();
}

const ItemSets& ItemSetsPlugin::GetItemSets(std::uint64_t /*summonerId*/) {
  LoadItemSetsForRequest();
  return currentItemSets_;
}

void ItemSetsPlugin::PutItemSets(std::uint64_t summonerId, ItemSets itemSets) {
  // The replaced document's version comes from the cache file while memory holds none, so that
  // the next reconciliation compares the change with the version it was made on instead of
  // taking it for an older copy.
  LoadItemSetsForRequest();
  const std::uint64_t previousTimestamp = currentItemSets_.timestamp;
  cacheReader_.Forget();
  currentItemSets_ = std::move(itemSets);
  AcceptChangedItemSets(summonerId, previousTimestamp);
}

void ItemSetsPlugin::PostItemSet(std::uint64_t summonerId, ItemSet itemSet) {
  // The set joins the document a GET would show and is stored like a replacement, so the next
  // reload of the cache file loses neither the cached sets nor the new one.
  LoadItemSetsForRequest();
  cacheReader_.Forget();
  currentItemSets_.itemSets.push_back(std::move(itemSet));
  AcceptChangedItemSets(summonerId, currentItemSets_.timestamp);
}

void ItemSetsPlugin::AcceptChangedItemSets(std::uint64_t summonerId,
                                           std::uint64_t previousTimestamp) {
  NormalizeItemSets(currentItemSets_);
  StampItemSets(previousTimestamp, currentItemSets_, loginSession_);
  // Converted once: the event's data is also what the cache file holds. A document that does not
  // convert keeps the old file and announces nothing; the change still stands and is uploaded.
  std::optional<std::string> written;
  {
    const Zorv::BindingResult payload = ResourceEventPayload(
        *this, ItemSetsResourceUri(summonerId), PluginResourceEventType::Update, currentItemSets_);
    if (payload.ok()) {
      written =
          WriteLocalItemSets(GetLocalItemSetsPath(), payload.value().Find("data"), typeRegistry());
      // Nobody has to listen: the outcome of the announcement changes nothing.
      PublishResourceEventPayload(*this, "OnJsonApiEvent", payload.value(), 0);
    }
  }
  // Remembered once the converted document is gone, so that the two are never held together.
  if (written)
    cacheReader_.Remember(std::move(*written));
  uploadPending_ = true;
}

}  // namespace dul::item_sets

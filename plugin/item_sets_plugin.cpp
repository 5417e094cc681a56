#include "plugin/item_sets_plugin.h"

#include "plugin/item_sets_resource.h"
#include "plugin/item_sets_types.h"
#include "runtime/remoting_function.h"

namespace dul::item_sets {

using Zorv::Client::ItemSets::Api::LoginSession;

namespace {

constexpr const char* kLoginSessionUri = "/dul-login/v1/session";
constexpr const char* kItemSetsConfigUri = "/dul-platform-config/v1/namespaces/ItemSets";
constexpr const char* kPreferencesReadyUri = "/dul-player-preferences/v1/player-preferences-ready";

}  // namespace

void ItemSetsPlugin::RegisterApi() {
  RegisterItemSetTypes(*this);
  remoting().AddRoute(
      kItemSetsResourceTemplate, RequestMethod::kGet,
      MakeFunction("GetItemSets", &ItemSetsPlugin::GetItemSets, this, {PathArg("summonerId")}));
  remoting().AddRoute(kItemSetsResourceTemplate, RequestMethod::kPut,
                      MakeFunction("PutItemSets", &ItemSetsPlugin::PutItemSets, this,
                                   {PathArg("summonerId"), BodyArg("itemSets")}));
  remoting().AddRoute(kItemSetsResourceTemplate, RequestMethod::kPost,
                      MakeFunction("PostItemSet", &ItemSetsPlugin::PostItemSet, this,
                                   {PathArg("summonerId"), BodyArg("itemSet")}));
}

bool ItemSetsPlugin::OnInitialize() {
  ObserveResource<LoginSession>(*this, kLoginSessionUri,
                                [this](const auto& event) { OnLoginSession(event); });
  ObserveResource<Zorv::BindingProperty>(*this, kItemSetsConfigUri,
                                         [this](const auto& event) { OnPlatformConfig(event); });
  ObserveResource<bool>(*this, kPreferencesReadyUri,
                        [this](const auto& event) { OnPlayerPreferencesReady(event); });
  // A subscription whose first read failed still follows its resource: never a failed start.
  return true;
}

}  // namespace dul::item_sets

// The two resources whose state the plugin only records: the login session and the item-set
// settings. Decisions that depend on them are taken where they are next read.
#include "plugin/item_set_settings.h"
#include "plugin/item_sets_plugin.h"

namespace dul::item_sets {

using Zorv::Client::PluginResourceEventType;
using Zorv::Client::ItemSets::Api::LoginSession;

void ItemSetsPlugin::OnLoginSession(const ResourceEvent<LoginSession>& event) {
  switch (event.eventType) {
    case PluginResourceEventType::Create:
    case PluginResourceEventType::Update:
      loginSession_ = event.value;
      break;
    case PluginResourceEventType::Delete:
      loginSession_ = LoginSession();
      break;
  }
}

void ItemSetsPlugin::OnPlatformConfig(const ResourceEvent<Zorv::BindingProperty>& event) {
  ItemSetSettings settings;
  switch (event.eventType) {
    case PluginResourceEventType::Create:
    case PluginResourceEventType::Update:
      settings = ReadItemSetSettings(event.value);
      break;
    case PluginResourceEventType::Delete:
      break;  // the defaults
    default:
      return;
  }
  editorEnabled_ = settings.editorEnabled;
  sendItemSetsToGame_ = settings.sendItemSetsToGame;
  uploadRateLimit_ = settings.uploadRateLimit;
}

}  // namespace dul::item_sets

#include "plugin/item_set_settings.h"

#include <algorithm>

namespace dul::item_sets {

ItemSetSettings ReadItemSetSettings(const Zorv::BindingProperty& namespaceData) {
  ItemSetSettings settings;
  settings.editorEnabled = namespaceData.Find("EditorEnabled").AsBool();
  settings.sendItemSetsToGame = namespaceData.Find("SendItemSetsToGame").AsBool();
  settings.uploadRateLimit =
      std::max(kMinimumUploadRateLimit, namespaceData.Find("UploadRateLimit").GetDouble(0.0));
  return settings;
}

}  // namespace dul::item_sets

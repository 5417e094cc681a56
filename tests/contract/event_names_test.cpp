#include "contract/event_names.h"

#include <gtest/gtest.h>

namespace dul {
namespace {

struct EventNameCase {
  const char* uri;
  const char* name;
};

class EventNameForUriCase : public ::testing::TestWithParam<EventNameCase> {};

// Catches a wrong segment count (three, five for platform configuration), empty segments from
// repeated, leading or trailing slashes, or a wrong separator.
TEST_P(EventNameForUriCase, KeepsTheLeadingSegments) {
  EXPECT_EQ(EventNameForUri(GetParam().uri), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    EventNames, EventNameForUriCase,
    ::testing::Values(
        EventNameCase{"/dul-item-sets/v1/item-sets/7/sets",
                      "OnJsonApiEvent_dul-item-sets_v1_item-sets"},
        EventNameCase{"dul-item-sets/v1/item-sets/7/sets",
                      "OnJsonApiEvent_dul-item-sets_v1_item-sets"},
        EventNameCase{"//dul-item-sets///v1/item-sets//",
                      "OnJsonApiEvent_dul-item-sets_v1_item-sets"},
        EventNameCase{"/dul-login/v1/session", "OnJsonApiEvent_dul-login_v1_session"},
        EventNameCase{"/dul-login/v1", "OnJsonApiEvent_dul-login_v1"},
        EventNameCase{"/dul-platform-config/v1/namespaces/ItemSets",
                      "OnJsonApiEvent_dul-platform-config_v1_namespaces_ItemSets"},
        EventNameCase{"/dul-platform-config/v1/namespaces/ItemSets/Enabled/x",
                      "OnJsonApiEvent_dul-platform-config_v1_namespaces_ItemSets_Enabled"},
        // Only the first segment selects the longer name.
        EventNameCase{"/other/dul-platform-config/a/b/c",
                      "OnJsonApiEvent_other_dul-platform-config_a"},
        EventNameCase{"/dul-platform-configs/v1/a/b", "OnJsonApiEvent_dul-platform-configs_v1_a"},
        EventNameCase{"/", "OnJsonApiEvent"}, EventNameCase{"", "OnJsonApiEvent"}));

}  // namespace
}  // namespace dul

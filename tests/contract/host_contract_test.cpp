#include "contract/host_contract.h"

#include <gtest/gtest.h>

#include <cstddef>

namespace dul {
namespace {

// One record or field: its measured size or offset, on the 32-bit target and on 64-bit builds.
struct Layout {
  const char* name;
  std::size_t measured;
  std::size_t i686;
  std::size_t lp64;
};

// Catches a record whose size or packing drifted from the host's layout in a build that the
// compile-time checks do not cover, or a test binary built with other packing than the library.
TEST(HostContract, RecordsHaveTheHostsLayout) {
  const Layout layouts[] = {
      {"DulBindingValueRecord", sizeof(DulBindingValueRecord), 12, 24},
      {"DulBindingMember", sizeof(DulBindingMember), 17, 33},
      {"DulRequestArgument", sizeof(DulRequestArgument), 16, 32},
      {"DulHostRequestRecord", sizeof(DulHostRequestRecord), 48, 80},
      {"DulHostResponseRecord", sizeof(DulHostResponseRecord), 62, 102},
      {"DulHostEventRecord", sizeof(DulHostEventRecord), 24, 48},
      {"DulHostInterface", sizeof(DulHostInterface), 8, 16},
      {"DulPluginHandshake", sizeof(DulPluginHandshake), 28, 48},
      {"DulHostApi", sizeof(DulHostApi), 40, 80},
      {"DulPluginEntryTable", sizeof(DulPluginEntryTable), 12, 24},
      {"DulBindingValueRecord.payload", offsetof(DulBindingValueRecord, payload), 4, 8},
      {"DulHostResponseRecord.status", offsetof(DulHostResponseRecord, status), 22, 38},
      {"DulHostResponseRecord.streamExpectedSize",
       offsetof(DulHostResponseRecord, streamExpectedSize), 46, 78},
      {"DulHostResponseRecord.release", offsetof(DulHostResponseRecord, release), 58, 94},
      {"DulHostEventRecord.value", offsetof(DulHostEventRecord, value), 16, 32},
  };
  const bool thirtyTwoBit = sizeof(void*) == 4;
  for (const Layout& layout : layouts) {
    EXPECT_EQ(layout.measured, thirtyTwoBit ? layout.i686 : layout.lp64) << layout.name;
  }
}

}  // namespace
}  // namespace dul

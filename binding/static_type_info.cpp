#include "binding/static_type_info.h"

#include <string_view>

// The identities other builds and hosts know these types by; a change of spelling breaks them.
namespace {

using std::string_view_literals::operator""sv;

static_assert(StaticType::kIdentityText<void>.view() ==
              "unsigned int __cdecl StaticType::HashCode<void>(void)"sv);
static_assert(StaticType::kVoidHash == 0x1BE7EF8Eu);
static_assert(StaticType::kHash<int> == 0x1C4DE261u);
static_assert(StaticType::kHash<unsigned long long> == 0xC647E802u);
static_assert(StaticType::kHash<std::uint64_t> == 0xC647E802u);
static_assert(StaticType::kHash<std::string> == 0x2757680Bu);
static_assert(StaticType::kHash<std::vector<int>> == 0xA1B32994u);
static_assert(StaticType::kHash<Zorv::BindingProperty> == 0x9809D409u);

}  // namespace

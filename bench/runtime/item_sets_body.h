// ItemSetsBody: an item-set document of realistic sets as JSON text (3 to 5 blocks of 2 to 6
// items, 2 champions, 1 map, 2 preferred slots each), the same bytes on every platform and run.
#pragma once

#include <string>

namespace dul::bench {

std::string ItemSetsBody(int setCount);

}  // namespace dul::bench

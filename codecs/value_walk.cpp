#include "codecs/value_walk.h"

namespace Zorv {

void WalkValue(const BindingProperty& value, ValueVisitor& visitor) {
  WalkValueWith(value, visitor);
}

}  // namespace Zorv

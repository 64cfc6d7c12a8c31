#include "Devices.h"

namespace quav {

int WithoutStderr(const std::function<int()>& fn) { return fn(); }

}  // namespace quav

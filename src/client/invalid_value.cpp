// The marker for a missing sample value, shared by every client implementation
// the project builds (the simulator's client and the test fake).
#include <limits>

#include "client/tyapi.h"

namespace tyapi {
const double TYInvalidValue = std::numeric_limits<double>::lowest();
}

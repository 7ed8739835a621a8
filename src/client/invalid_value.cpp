// The marker for a missing sample value: the one of the clients the project
// builds (the simulator's client and the test fakes), or the one a bound
// client library exports.
#include <atomic>
#include <limits>

#include "client/tyapi.h"

namespace tyapi {

const double TYInvalidValue = std::numeric_limits<double>::lowest();

namespace {
// Set once, when a library is bound and before its first sample; read on the
// library's thread and the writer's.
std::atomic<double> marker{TYInvalidValue};
}  // namespace

double invalidValue() noexcept { return marker.load(std::memory_order_relaxed); }

void setInvalidValue(double value) noexcept { marker.store(value, std::memory_order_relaxed); }

}  // namespace tyapi

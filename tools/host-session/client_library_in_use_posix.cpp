#include "host-session/client_library_in_use.h"

namespace tyvarion::host {

// The native build links the simulated tracker's client itself.
ClientLibraryInUse clientLibraryInUse() { return {}; }

}  // namespace tyvarion::host

#pragma once
// Which client library the plug-in loaded into this process, for the hint
// when it is not connected: the simulated tracker's stand-in, the maker's
// library, or none (and then where the plug-in looked for one).

#include <string>

namespace tyvarion::host {

struct ClientLibraryInUse {
    enum class Kind { simulated, maker, none };
    Kind kind = Kind::simulated;
    std::string file;  // the maker's library as loaded, or the name the plug-in looks for
    // With none: the folders the plug-in looked in, in its order, as one phrase.
    std::string lookedIn;
};

// What this process has loaded now: asked while the tracker object lives.
ClientLibraryInUse clientLibraryInUse();

}  // namespace tyvarion::host

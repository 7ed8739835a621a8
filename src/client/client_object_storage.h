#pragma once
// How much storage the plug-in provides for the maker's TYApi object. The
// library's constructor builds the object in memory its caller provides, and
// nothing in the library tells its size. A client object holds a connection's
// state (handles, strings, a thread, perhaps receive buffers): a few hundred
// bytes to a few KiB; the project's stand-in needs well under 200 bytes.
// 64 KiB is far beyond that, costs only address space (the host makes one
// tracker object), and is followed by a page that cannot be touched, so an
// object larger still stops the host at once instead of corrupting its memory.

#include <cstddef>

namespace tyapi {

inline constexpr std::size_t kClientObjectStorage = 64 * 1024;
// The storage starts on a page boundary, more than any object needs.
inline constexpr std::size_t kClientObjectAlignment = 16;

}  // namespace tyapi

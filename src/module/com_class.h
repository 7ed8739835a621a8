#pragma once
// COM interfaces have no virtual destructor by design: an object is destroyed
// by its own Release, through its own type, never through an interface
// pointer. -Wnon-virtual-dtor is therefore off between these two markers, for
// the classes that implement interfaces, and nowhere else.

#define TYVARION_BEGIN_COM_CLASSES \
    _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wnon-virtual-dtor\"")
#define TYVARION_END_COM_CLASSES _Pragma("GCC diagnostic pop")

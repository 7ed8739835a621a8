#pragma once
// Storage for the maker's TYApi object, which the library's constructor builds
// in place: kClientObjectStorage bytes, zeroed and page-aligned, followed by a
// reserved page that faults on any access (client/client_object_storage.h
// says why that bound).

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

namespace tyapi::dynamic {

class ObjectStorage {
public:
    // Throws std::bad_alloc when the memory cannot be had.
    ObjectStorage();
    ~ObjectStorage();
    ObjectStorage(const ObjectStorage&) = delete;
    ObjectStorage& operator=(const ObjectStorage&) = delete;

    void* get() const noexcept { return base_; }

private:
    void* base_;
};

}  // namespace tyapi::dynamic

#include "client/dynamic/object_storage.h"

#include <new>

#include "client/client_object_storage.h"

namespace tyapi::dynamic {
namespace {
constexpr SIZE_T kGuard = 4096;  // one page, reserved and never committed
}

ObjectStorage::ObjectStorage()
    : base_(VirtualAlloc(nullptr, kClientObjectStorage + kGuard, MEM_RESERVE, PAGE_NOACCESS)) {
    if (base_ == nullptr) throw std::bad_alloc();
    if (VirtualAlloc(base_, kClientObjectStorage, MEM_COMMIT, PAGE_READWRITE) == nullptr) {
        VirtualFree(base_, 0, MEM_RELEASE);
        throw std::bad_alloc();
    }
}

ObjectStorage::~ObjectStorage() { VirtualFree(base_, 0, MEM_RELEASE); }

}  // namespace tyapi::dynamic

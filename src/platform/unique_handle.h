#pragma once
// One small owner for every handle-like resource: BSTRs here, registry keys and
// COM pointers in the module. put() releases the old value before handing out
// its address, so an out-parameter never leaks what the owner held.

#include <utility>

#include "platform/com_types.h"

namespace tyvarion {

template <typename Handle, auto Close, Handle Empty = Handle{}>
class unique_handle {
public:
    unique_handle() noexcept = default;
    explicit unique_handle(Handle value) noexcept : value_(value) {}
    ~unique_handle() { reset(); }

    unique_handle(const unique_handle&) = delete;
    unique_handle& operator=(const unique_handle&) = delete;
    unique_handle(unique_handle&& other) noexcept : value_(other.release()) {}
    unique_handle& operator=(unique_handle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Handle get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Empty; }

    Handle release() noexcept { return std::exchange(value_, Empty); }

    void reset(Handle value = Empty) noexcept {
        Handle old = std::exchange(value_, value);
        if (old != Empty) Close(old);
    }

    Handle* put() noexcept {
        reset();
        return &value_;
    }

private:
    Handle value_ = Empty;
};

using unique_bstr = unique_handle<BSTR, &SysFreeString>;

}  // namespace tyvarion

#pragma once
// Owners for the descriptions that type information and type libraries hand
// out (TYPEATTR, FUNCDESC, TLIBATTR): each goes back to the object that gave it.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <oaidl.h>

#include <utility>

namespace tyvarion::module {

template <typename Owner, typename Description, auto Give>
class owned_description {
public:
    explicit owned_description(Owner* owner) noexcept : owner_(owner) {}
    ~owned_description() { reset(); }
    owned_description(const owned_description&) = delete;
    owned_description& operator=(const owned_description&) = delete;

    Description* get() const noexcept { return value_; }
    Description* operator->() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != nullptr; }

    void reset() noexcept {
        if (Description* old = std::exchange(value_, nullptr)) (owner_->*Give)(old);
    }
    // For the owner's out-parameter; gives back what was held first.
    Description** put() noexcept {
        reset();
        return &value_;
    }

private:
    Owner* owner_;
    Description* value_ = nullptr;
};

using scoped_type_attr = owned_description<ITypeInfo, TYPEATTR, &ITypeInfo::ReleaseTypeAttr>;
using scoped_func_desc = owned_description<ITypeInfo, FUNCDESC, &ITypeInfo::ReleaseFuncDesc>;
using scoped_lib_attr = owned_description<ITypeLib, TLIBATTR, &ITypeLib::ReleaseTLibAttr>;

}  // namespace tyvarion::module

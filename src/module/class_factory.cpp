#include "module/class_factory.h"

#include <memory>
#include <new>

namespace tyvarion::module {

HRESULT ClassFactory::create(CreateObjectFunction createObject, REFIID iid, void** result) noexcept {
    if (result == nullptr) return E_POINTER;
    *result = nullptr;
    std::unique_ptr<ClassFactory> factory;
    try {
        factory = std::make_unique<ClassFactory>(Key{}, createObject);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    const HRESULT queried = factory->QueryInterface(iid, result);
    // From here the reference count owns it.
    if (SUCCEEDED(queried)) factory.release();
    return queried;
}

HRESULT ClassFactory::QueryInterface(REFIID iid, void** result) {
    if (result == nullptr) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
        *result = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *result = nullptr;
    return E_NOINTERFACE;
}

ULONG ClassFactory::AddRef() {
    const LONG count = InterlockedIncrement(&refCount_);
    if (count == 2) lockModule();
    return static_cast<ULONG>(count);
}

ULONG ClassFactory::Release() {
    const LONG count = InterlockedDecrement(&refCount_);
    if (count == 1) {
        unlockModule();
    } else if (count == 0) {
        // The last reference gone: ownership returns from the count to C++.
        std::unique_ptr<ClassFactory> destroy(this);
    }
    return static_cast<ULONG>(count);
}

HRESULT ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** result) {
    if (result == nullptr) return E_POINTER;
    *result = nullptr;
    if (outer != nullptr && !IsEqualIID(iid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    return createObject_(outer, iid, result);
}

HRESULT ClassFactory::LockServer(BOOL lock) {
    if (lock) {
        lockModule();
    } else {
        unlockModule();
    }
    return S_OK;
}

}  // namespace tyvarion::module

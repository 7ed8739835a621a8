#include "module/type_info_holder.h"

#include <mutex>

#include "module/com_ptr.h"
#include "module/hresult.h"
#include "module/module.h"

namespace tyvarion::module {

HRESULT CComTypeInfoHolder::ensureLoaded(LCID locale) noexcept {
    if (typeInfo_.load(std::memory_order_acquire) != nullptr &&
        nameCache_.load(std::memory_order_acquire) != nullptr)
        return S_OK;

    std::lock_guard lock(theModule().typeInfoLock());
    HRESULT result = S_OK;
    if (typeInfo_.load(std::memory_order_acquire) == nullptr) result = loadTypeInfo(locale);
    ITypeInfo* typeInfo = typeInfo_.load(std::memory_order_acquire);
    if (typeInfo != nullptr && nameCache_.load(std::memory_order_acquire) == nullptr) {
        std::unique_ptr<TypeInfoNameCache> cache;
        result = buildTypeInfoNameCache(typeInfo, cache);
        if (cache) nameCache_.store(cache.release(), std::memory_order_release);
    }
    return result;
}

HRESULT CComTypeInfoHolder::loadTypeInfo(LCID locale) noexcept {
    com_ptr<ITypeLib> library;
    HRESULT loaded = LoadRegTypeLib(*libid_, majorVersion_, minorVersion_, locale, library.put());
    if (loaded == TYPE_E_LIBNOTREGISTERED && registeredLocale_ && *registeredLocale_ != locale)
        loaded = LoadRegTypeLib(*libid_, majorVersion_, minorVersion_, *registeredLocale_, library.put());
    RETURN_IF_FAILED(loaded);

    com_ptr<ITypeInfo> typeInfo;
    RETURN_IF_FAILED(library.get()->GetTypeInfoOfGuid(*guid_, typeInfo.put()));
    com_ptr<ITypeInfo2> typeInfo2;
    if (SUCCEEDED(typeInfo.get()->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(typeInfo2.put()))) &&
        typeInfo2)
        typeInfo.reset(typeInfo2.release());

    // Without its clean-up the type information would outlive the module; then it is not kept.
    RETURN_IF_FAILED(theModule().addCleanup(&CComTypeInfoHolder::cleanup, this));
    typeInfo_.store(typeInfo.release(), std::memory_order_release);
    return S_OK;
}

void CComTypeInfoHolder::cleanup(void* context) noexcept {
    auto* holder = static_cast<CComTypeInfoHolder*>(context);
    com_ptr<ITypeInfo> typeInfo(holder->typeInfo_.exchange(nullptr));
    std::unique_ptr<TypeInfoNameCache> cache(holder->nameCache_.exchange(nullptr));
}

HRESULT CComTypeInfoHolder::getTypeInfo(LCID locale, ITypeInfo** result) noexcept {
    if (result == nullptr) return E_POINTER;
    HRESULT loaded = S_OK;
    if (typeInfo_.load(std::memory_order_acquire) == nullptr) loaded = ensureLoaded(locale);
    ITypeInfo* typeInfo = typeInfo_.load(std::memory_order_acquire);
    *result = typeInfo;
    if (typeInfo == nullptr) return loaded;
    typeInfo->AddRef();
    return S_OK;
}

HRESULT CComTypeInfoHolder::getIDsOfNames(LCID locale, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
    const HRESULT loaded = ensureLoaded(locale);
    ITypeInfo* typeInfo = typeInfo_.load(std::memory_order_acquire);
    if (typeInfo == nullptr) return loaded;
    // The type information reads the first name whatever the count.
    if (names == nullptr || ids == nullptr) return E_POINTER;
    if (count == 1) {
        const TypeInfoNameCache* cache = nameCache_.load(std::memory_order_acquire);
        DISPID id = DISPID_UNKNOWN;
        if (cache != nullptr && cache->find(names[0], id)) {
            ids[0] = id;
            return S_OK;
        }
    }
    return typeInfo->GetIDsOfNames(names, count, ids);
}

HRESULT CComTypeInfoHolder::invoke(void* instance, DISPID id, LCID locale, WORD flags,
                                   DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argumentError) noexcept {
    const HRESULT loaded = ensureLoaded(locale);
    ITypeInfo* typeInfo = typeInfo_.load(std::memory_order_acquire);
    if (typeInfo == nullptr) return loaded;
    return typeInfo->Invoke(instance, id, flags, parameters, result, exception, argumentError);
}

}  // namespace tyvarion::module

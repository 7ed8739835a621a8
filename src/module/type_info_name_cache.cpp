#include "module/type_info_name_cache.h"

#include <cstring>
#include <cwchar>
#include <new>

#include "module/type_info_resources.h"

namespace tyvarion::module {

bool TypeInfoNameCache::find(const OLECHAR* name, DISPID& id) const noexcept {
    if (name == nullptr) return false;  // no member has an absent name
    const std::size_t length = std::wcslen(name);
    for (UINT index = count; index-- > 0;) {
        const Entry& entry = entries[index];
        // An element whose name could not be read matches nothing, not even "".
        if (!entry.name || entry.length != length) continue;
        if (std::memcmp(entry.name.get(), name, length * sizeof(OLECHAR)) == 0) {
            id = entry.id;
            return true;
        }
    }
    return false;
}

HRESULT buildTypeInfoNameCache(ITypeInfo* typeInfo, std::unique_ptr<TypeInfoNameCache>& cache) noexcept {
    cache.reset();
    UINT functions = 0;
    {
        scoped_type_attr attributes(typeInfo);
        if (FAILED(typeInfo->GetTypeAttr(attributes.put())) || !attributes) return S_OK;
        functions = attributes->cFuncs;
    }
    if (functions == 0) return S_OK;

    std::unique_ptr<TypeInfoNameCache> built;
    try {
        built = std::make_unique<TypeInfoNameCache>();
        built->entries = std::make_unique<TypeInfoNameCache::Entry[]>(functions);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    built->count = functions;
    for (UINT index = 0; index < functions; ++index) {
        scoped_func_desc function(typeInfo);
        if (FAILED(typeInfo->GetFuncDesc(index, function.put())) || !function) continue;
        unique_bstr name;
        if (FAILED(typeInfo->GetDocumentation(function->memid, name.put(), nullptr, nullptr, nullptr)) ||
            !name)
            continue;
        TypeInfoNameCache::Entry& entry = built->entries[index];
        entry.length = SysStringLen(name.get());
        entry.id = function->memid;
        entry.name = std::move(name);
    }
    cache = std::move(built);
    return S_OK;
}

}  // namespace tyvarion::module

#include "module/module_type_info.h"

#include "module/com_ptr.h"
#include "module/hresult.h"
#include "module/module_ids.h"
#include "module/module_path.h"

namespace tyvarion::module {

HRESULT loadTyvarionTypeInfo(ITypeInfo** typeInfo) noexcept {
    if (typeInfo == nullptr) return E_POINTER;
    *typeInfo = nullptr;
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(moduleHandle(), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return E_FAIL;

    com_ptr<ITypeLib> library;
    RETURN_IF_FAILED(LoadTypeLib(path, library.put()));
    return library.get()->GetTypeInfoOfGuid(kIidTyvarion, typeInfo);
}

}  // namespace tyvarion::module

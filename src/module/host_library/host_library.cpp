// The stand-in host library's own registration: regsvr32 registers and
// unregisters the type library that this DLL carries as TYPELIB 1.
#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <oleauto.h>

#include "module/com_ptr.h"
#include "module/hresult.h"
#include "module/module_path.h"
#include "module/type_info_resources.h"

using tyvarion::module::com_ptr;
using tyvarion::module::modulePath;
using tyvarion::module::scoped_lib_attr;

namespace {

HRESULT loadOwnLibrary(com_ptr<ITypeLib>& library, std::wstring& path) noexcept {
    try {
        RETURN_IF_FAILED(modulePath(path));
    } catch (...) {
        return E_OUTOFMEMORY;  // only the path's allocation can throw
    }
    return LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.put());
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

STDAPI DllRegisterServer() {
    com_ptr<ITypeLib> library;
    std::wstring path;
    RETURN_IF_FAILED(loadOwnLibrary(library, path));
    return RegisterTypeLib(library.get(), path.data(), nullptr);
}

STDAPI DllUnregisterServer() {
    com_ptr<ITypeLib> library;
    std::wstring path;
    RETURN_IF_FAILED(loadOwnLibrary(library, path));
    scoped_lib_attr attributes(library.get());
    RETURN_IF_FAILED(library.get()->GetLibAttr(attributes.put()));
    return UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                             attributes->lcid, attributes->syskind);
}

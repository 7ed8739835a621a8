// DllRegisterServer and DllUnregisterServer: the AppID script, the class
// entries and the type library, under the system default thread locale.
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "module/com_ptr.h"
#include "module/hresult.h"
#include "module/module.h"
#include "module/module_path.h"
#include "module/registration_variables.h"
#include "module/registry_script.h"
#include "module/resource.h"

namespace tyvarion::module {
namespace {

// Registration runs under the system default locale; the caller's comes back on every path.
class ThreadLocaleScope {
public:
    ThreadLocaleScope() noexcept : saved_(GetThreadLocale()) { SetThreadLocale(LOCALE_SYSTEM_DEFAULT); }
    ~ThreadLocaleScope() { SetThreadLocale(saved_); }
    ThreadLocaleScope(const ThreadLocaleScope&) = delete;
    ThreadLocaleScope& operator=(const ThreadLocaleScope&) = delete;

private:
    LCID saved_;
};

template <typename Body>
HRESULT guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT lastErrorResult() { return hresultFromWin32(static_cast<LONG>(::GetLastError())); }

HRESULT loadAppIdScript(std::vector<RegistryItem>& items) {
    const HMODULE module = moduleHandle();
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDR_APPID_SCRIPT), L"REGISTRY");
    if (found == nullptr) return lastErrorResult();
    HGLOBAL loaded = LoadResource(module, found);
    if (loaded == nullptr) return lastErrorResult();
    const auto* bytes = static_cast<const char*>(LockResource(loaded));
    if (bytes == nullptr) return lastErrorResult();
    return parseRegistryScript(std::string_view(bytes, SizeofResource(module, found)), items);
}

HRESULT runAppIdScript(bool registering) {
    std::vector<RegistryItem> items;
    RETURN_IF_FAILED(loadAppIdScript(items));
    Replacements variables;
    addAppIdVariable(variables);
    RETURN_IF_FAILED(addModuleVariables(variables));
    return registering
               ? registerItems(HKEY_CLASSES_ROOT, items, variables)
               : unregisterItems(HKEY_CLASSES_ROOT, items, variables, Removal::valuesThenEmptyKeys);
}

// The library from the module's TYPELIB resource, else from the .tlb file beside it.
HRESULT loadTypeLibrary(com_ptr<ITypeLib>& library, std::wstring& path) {
    RETURN_IF_FAILED(modulePath(path));
    const HRESULT loaded = LoadTypeLib(path.c_str(), library.put());
    if (SUCCEEDED(loaded)) return loaded;
    return LoadTypeLib(replaceExtension(path, L".tlb").c_str(), library.put());
}

HRESULT registerTypeLibrary() {
    com_ptr<ITypeLib> library;
    std::wstring path;
    RETURN_IF_FAILED(loadTypeLibrary(library, path));
    unique_bstr helpFile;
    std::wstring helpFolder;
    if (SUCCEEDED(library.get()->GetDocumentation(-1, nullptr, nullptr, nullptr, helpFile.put())) &&
        helpFile && SysStringLen(helpFile.get()) != 0) {
        helpFolder.assign(helpFile.get(), SysStringLen(helpFile.get()));
        const std::size_t separator = helpFolder.find_last_of(L"\\/");
        helpFolder.resize(separator == std::wstring::npos ? 0 : separator);
    }
    return RegisterTypeLib(library.get(), path.data(), helpFolder.empty() ? nullptr : helpFolder.data());
}

HRESULT unregisterTypeLibrary() {
    com_ptr<ITypeLib> library;
    std::wstring path;
    RETURN_IF_FAILED(loadTypeLibrary(library, path));
    TLIBATTR* attributes = nullptr;
    RETURN_IF_FAILED(library.get()->GetLibAttr(&attributes));
    const TLIBATTR copy = *attributes;
    library.get()->ReleaseTLibAttr(attributes);
    return UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind);
}

}  // namespace

HRESULT Ceyetracker2_templateModule::registerServer() noexcept {
    ThreadLocaleScope locale;
    return guarded([&]() -> HRESULT {
        RETURN_IF_FAILED(runAppIdScript(true));
        // No class belongs to a component category, so there are none to register.
        for (ClassEntry* entry : classTable_) RETURN_IF_FAILED(entry->registerClass(true));
        return registerTypeLibrary();
    });
}

HRESULT Ceyetracker2_templateModule::unregisterServer() noexcept {
    ThreadLocaleScope locale;
    return guarded([&]() -> HRESULT {
        for (ClassEntry* entry : classTable_) RETURN_IF_FAILED(entry->registerClass(false));
        RETURN_IF_FAILED(unregisterTypeLibrary());
        return runAppIdScript(false);
    });
}

}  // namespace tyvarion::module

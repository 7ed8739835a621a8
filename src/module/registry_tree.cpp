#include "module/registry_tree.h"

#include "module/com_ptr.h"
#include "module/hresult.h"

namespace tyvarion::module {
namespace {

constexpr REGSAM kAccess = KEY_READ | KEY_WRITE;
// Key names are at most 255 characters.
constexpr DWORD kKeyNameCapacity = 256;

HRESULT setString(HKEY key, const wchar_t* name, const std::wstring& data) {
    // The stored size includes the terminating null.
    const auto bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    const LSTATUS status = RegSetValueExW(key, name, 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(data.c_str()), bytes);
    return status == ERROR_SUCCESS ? S_OK : hresultFromWin32(status);
}

HRESULT hasSubkeys(HKEY key, bool& any) {
    DWORD subkeys = 0;
    const LSTATUS status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr,
                                            nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return hresultFromWin32(status);
    any = subkeys != 0;
    return S_OK;
}

HRESULT deleteKey(HKEY parent, const std::wstring& name) {
    const LSTATUS status = RegDeleteKeyW(parent, name.c_str());
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : hresultFromWin32(status);
}

HRESULT registerKey(HKEY parent, const RegistryItem& item, const std::wstring& name,
                    const Replacements& variables) {
    if (item.mark == KeyMark::forced) RETURN_IF_FAILED(deleteKeyTree(parent, name));
    unique_hkey key;
    const LSTATUS status = RegCreateKeyExW(parent, name.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           kAccess, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS) return hresultFromWin32(status);
    if (item.data) {
        std::wstring data;
        RETURN_IF_FAILED(variables.expand(*item.data, data));
        RETURN_IF_FAILED(setString(key.get(), nullptr, data));
    }
    return registerItems(key.get(), item.items, variables);
}

HRESULT unregisterKey(HKEY parent, const RegistryItem& item, const std::wstring& name,
                      const Replacements& variables, Removal removal) {
    unique_hkey key;
    const LSTATUS status = RegOpenKeyExW(parent, name.c_str(), 0, kAccess, key.put());
    if (status == ERROR_FILE_NOT_FOUND) return S_OK;
    if (status != ERROR_SUCCESS) return hresultFromWin32(status);
    RETURN_IF_FAILED(unregisterItems(key.get(), item.items, variables, removal));
    if (item.mark == KeyMark::kept) return S_OK;
    if (removal == Removal::wholeSubtree || item.mark == KeyMark::forced) {
        key.reset();
        return deleteKeyTree(parent, name);
    }
    bool subkeysLeft = false;
    RETURN_IF_FAILED(hasSubkeys(key.get(), subkeysLeft));
    key.reset();
    return subkeysLeft ? S_OK : deleteKey(parent, name);
}

}  // namespace

HRESULT registerItems(HKEY root, const std::vector<RegistryItem>& items, const Replacements& variables) {
    for (const RegistryItem& item : items) {
        std::wstring name;
        RETURN_IF_FAILED(variables.expand(item.name, name));
        if (item.kind == RegistryItem::Kind::key) {
            RETURN_IF_FAILED(registerKey(root, item, name, variables));
        } else {
            std::wstring data;
            RETURN_IF_FAILED(variables.expand(item.data.value_or(L""), data));
            RETURN_IF_FAILED(setString(root, name.c_str(), data));
        }
    }
    return S_OK;
}

HRESULT unregisterItems(HKEY root, const std::vector<RegistryItem>& items,
                        const Replacements& variables, Removal removal) {
    for (const RegistryItem& item : items) {
        std::wstring name;
        RETURN_IF_FAILED(variables.expand(item.name, name));
        if (item.kind == RegistryItem::Kind::key) {
            RETURN_IF_FAILED(unregisterKey(root, item, name, variables, removal));
        } else if (removal == Removal::valuesThenEmptyKeys) {
            const LSTATUS status = RegDeleteValueW(root, name.c_str());
            if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND)
                return hresultFromWin32(status);
        }
    }
    return S_OK;
}

HRESULT deleteKeyTree(HKEY parent, const std::wstring& name) {
    unique_hkey key;
    const LSTATUS opened = RegOpenKeyExW(parent, name.c_str(), 0, kAccess, key.put());
    if (opened == ERROR_FILE_NOT_FOUND) return S_OK;
    if (opened != ERROR_SUCCESS) return hresultFromWin32(opened);
    for (;;) {
        wchar_t child[kKeyNameCapacity];
        DWORD length = kKeyNameCapacity;
        const LSTATUS status =
            RegEnumKeyExW(key.get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) return hresultFromWin32(status);
        RETURN_IF_FAILED(deleteKeyTree(key.get(), std::wstring(child, length)));
    }
    key.reset();
    return deleteKey(parent, name);
}

}  // namespace tyvarion::module

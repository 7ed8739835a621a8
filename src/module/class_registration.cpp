#include "module/class_registration.h"

#include <new>
#include <vector>

#include "module/hresult.h"
#include "module/module_ids.h"
#include "module/registration_variables.h"
#include "module/registry_tree.h"

namespace tyvarion::module {
namespace {

RegistryItem key(const wchar_t* name, std::optional<std::wstring> data = std::nullopt,
                 std::vector<RegistryItem> items = {}, KeyMark mark = KeyMark::normal) {
    return {RegistryItem::Kind::key, name, mark, std::move(data), std::move(items)};
}

RegistryItem value(const wchar_t* name, const wchar_t* data) {
    return {RegistryItem::Kind::value, name, KeyMark::normal, data, {}};
}

// In the order they are written; unregistration removes every key not kept
// with its whole subtree.
std::vector<RegistryItem> classEntries() {
    return {
        key(kProgId, L"%FriendlyName%", {key(L"CLSID", kClsidTyvarionText)}),
        key(kVersionIndependentProgId, L"%FriendlyName%",
            {key(L"CLSID", kClsidTyvarionText), key(L"CurVer", kProgId)}),
        key(L"CLSID", std::nullopt,
            {key(kClsidTyvarionText, L"%FriendlyName%",
                 {
                     key(L"ProgID", kProgId),
                     key(L"VersionIndependentProgID", kVersionIndependentProgId),
                     key(L"Programmable", std::nullopt, {}, KeyMark::forced),
                     key(L"%MODULETYPE%", L"%MODULE%", {value(L"ThreadingModel", L"apartment")}),
                     value(L"AppID", L"%APPID%"),
                     key(L"TypeLib", L"%MODULEGUID%"),
                 },
                 KeyMark::forced)},
            KeyMark::kept),
    };
}

}  // namespace

HRESULT registerTyvarionClass(bool registering) noexcept {
    try {
        Replacements variables;
        RETURN_IF_FAILED(addClassVariables(variables));
        variables.add(L"FriendlyName", kFriendlyName);
        const std::vector<RegistryItem> entries = classEntries();
        return registering
                   ? registerItems(HKEY_CLASSES_ROOT, entries, variables)
                   : unregisterItems(HKEY_CLASSES_ROOT, entries, variables, Removal::wholeSubtree);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace tyvarion::module

#include "module/class_entries.h"

#include "module/module_ids.h"

namespace tyvarion::module {
namespace {

RegistryItem key(const wchar_t* name, std::optional<std::wstring> data = std::nullopt,
                 std::vector<RegistryItem> items = {}, KeyMark mark = KeyMark::normal) {
    return {RegistryItem::Kind::key, name, mark, std::move(data), std::move(items)};
}

RegistryItem value(const wchar_t* name, const wchar_t* data) {
    return {RegistryItem::Kind::value, name, KeyMark::normal, data, {}};
}

}  // namespace

std::vector<RegistryItem> tyvarionClassEntries() {
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

void addTyvarionClassNames(Replacements& variables) { variables.add(L"FriendlyName", kFriendlyName); }

}  // namespace tyvarion::module

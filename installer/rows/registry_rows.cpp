#include "rows/registry_rows.h"

#include "module/hresult.h"

namespace tyvarion::installer {
namespace {

using module::RegistryItem;

HRESULT expand(const std::wstring& text, const module::Replacements& variables, std::wstring& expanded) {
    // Literal parts are escaped before the variables, which are formatted already, go in.
    const std::optional<std::wstring> literal = formattedText(text);
    if (!literal) return E_INVALIDARG;
    return variables.expand(*literal, expanded);
}

HRESULT appendItems(const std::wstring& parent, const std::vector<RegistryItem>& items,
                    const module::Replacements& variables, std::vector<RegistryRow>& rows) {
    for (const RegistryItem& item : items) {
        std::wstring name;
        RETURN_IF_FAILED(expand(item.name, variables, name));
        if (item.kind == RegistryItem::Kind::value) {
            std::wstring data;
            RETURN_IF_FAILED(expand(item.data.value_or(L""), variables, data));
            // An empty value is no value to the installer.
            if (name.empty() || data.empty()) return E_INVALIDARG;
            rows.push_back({parent, name, data, false});
            continue;
        }
        const std::wstring path = parent.empty() ? name : parent + L"\\" + name;
        if (item.data) {
            std::wstring data;
            RETURN_IF_FAILED(expand(*item.data, variables, data));
            if (data.empty()) return E_INVALIDARG;
            rows.push_back({path, L"", data, false});
        } else if (item.items.empty()) {
            rows.push_back({path, L"", L"", true});
        }
        RETURN_IF_FAILED(appendItems(path, item.items, variables, rows));
    }
    return S_OK;
}

bool sameName(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
               CSTR_EQUAL;
}

}  // namespace

bool redirectedBetweenViews(std::wstring_view key) {
    const std::wstring_view top = key.substr(0, key.find(L'\\'));
    for (const wchar_t* redirected : {L"CLSID", L"Interface", L"DirectShow", L"Media Type", L"MediaFoundation"})
        if (sameName(top, redirected)) return true;
    return false;
}

std::optional<std::wstring> formattedText(std::wstring_view text) {
    std::wstring escaped;
    for (const wchar_t c : text) {
        if (c == L'$') return std::nullopt;
        if (c == L'[') {
            escaped += L"[\\[]";
        } else if (c == L']') {
            escaped += L"[\\]]";
        } else {
            escaped.push_back(c);
        }
    }
    return escaped;
}

HRESULT appendRows(const std::vector<RegistryItem>& items, const module::Replacements& variables,
                   std::vector<RegistryRow>& rows) {
    return appendItems(L"", items, variables, rows);
}

}  // namespace tyvarion::installer

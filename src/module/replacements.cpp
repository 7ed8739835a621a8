#include "module/replacements.h"

namespace tyvarion::module {

void Replacements::add(std::wstring name, std::wstring value) {
    variables_.push_back({std::move(name), std::move(value)});
}

const std::wstring* Replacements::find(std::wstring_view name) const noexcept {
    for (const Variable& variable : variables_) {
        // Ordinal: the thread locale is switched while registering.
        if (CompareStringOrdinal(variable.name.data(), static_cast<int>(variable.name.size()),
                                 name.data(), static_cast<int>(name.size()), TRUE) == CSTR_EQUAL)
            return &variable.value;
    }
    return nullptr;
}

HRESULT Replacements::expand(std::wstring_view text, std::wstring& expanded) const {
    expanded.clear();
    std::size_t position = 0;
    while (position < text.size()) {
        const std::size_t open = text.find(L'%', position);
        if (open == std::wstring_view::npos) {
            expanded.append(text.substr(position));
            break;
        }
        expanded.append(text.substr(position, open - position));
        const std::size_t close = text.find(L'%', open + 1);
        if (close == std::wstring_view::npos) return kMalformedRegistration;
        const std::wstring_view name = text.substr(open + 1, close - open - 1);
        if (name.empty()) {
            expanded.push_back(L'%');
        } else {
            const std::wstring* value = find(name);
            if (value == nullptr) return kMalformedRegistration;
            expanded.append(*value);
        }
        position = close + 1;
    }
    return S_OK;
}

}  // namespace tyvarion::module

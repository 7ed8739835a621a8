#pragma once
// The replacement variables of a registration: %NAME% in a key name or a value
// stands for the variable's value; names match without regard to case; %%
// stands for one percent sign.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <string>
#include <string_view>
#include <vector>

namespace tyvarion::module {

// A registration that names an unknown variable, or a script that cannot be read.
inline constexpr HRESULT kMalformedRegistration = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

class Replacements {
public:
    void add(std::wstring name, std::wstring value);
    // Null when no variable has that name.
    const std::wstring* find(std::wstring_view name) const noexcept;
    // kMalformedRegistration for an unknown name or a lone percent sign.
    HRESULT expand(std::wstring_view text, std::wstring& expanded) const;

private:
    struct Variable {
        std::wstring name;
        std::wstring value;
    };
    std::vector<Variable> variables_;
};

}  // namespace tyvarion::module

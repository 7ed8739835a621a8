#include "module/class_registration.h"

#include <new>
#include <vector>

#include "module/class_entries.h"
#include "module/hresult.h"
#include "module/registration_variables.h"

namespace tyvarion::module {

HRESULT registerTyvarionClass(bool registering) noexcept {
    try {
        Replacements variables;
        RETURN_IF_FAILED(addClassVariables(variables));
        addTyvarionClassNames(variables);
        const std::vector<RegistryItem> entries = tyvarionClassEntries();
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

#pragma once
// The replacement variables that the module's registrations share.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include "module/replacements.h"

namespace tyvarion::module {

// APPID, which every registration of this module gets.
void addAppIdVariable(Replacements& variables);

// Module (the module's path, quoted only when the module is the process's own
// executable) and Module_Raw (the path as it is).
HRESULT addModuleVariables(Replacements& variables);

// What a class registration needs besides its own names: Module, Module_Raw,
// MODULEGUID (the library id in braces, upper case), MODULETYPE
// (InprocServer32, or LocalServer32 for an executable) and APPID.
HRESULT addClassVariables(Replacements& variables);

}  // namespace tyvarion::module

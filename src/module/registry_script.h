#pragma once
// Reads a registration script, the notation of the module's "REGISTRY"
// resources, into the items it writes below HKEY_CLASSES_ROOT:
//
//   HKCR
//   {
//       NoRemove AppID                         a key that unregistration keeps
//       {
//           '%APPID%' = s 'name'               a key with a string default value
//           ForceRemove 'Other' { val V = s 'data' }
//       }
//   }
//
// Names and data are quoted with ' (doubled inside) or bare; %NAME% variables
// are left for the registrar to expand. Only string values ("s") are known.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <string_view>
#include <vector>

#include "module/registry_tree.h"

namespace tyvarion::module {

// kMalformedRegistration when the text does not follow the notation.
HRESULT parseRegistryScript(std::string_view script, std::vector<RegistryItem>& items);

}  // namespace tyvarion::module

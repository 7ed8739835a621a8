#include "module/registration_variables.h"

#include <shellapi.h>

#include <string>

#include "module/hresult.h"
#include "module/module.h"
#include "module/module_ids.h"
#include "module/module_path.h"

namespace tyvarion::module {
namespace {

bool isExecutable(const std::wstring& path) {
    return SHGetFileInfoW(path.c_str(), 0, nullptr, 0, SHGFI_EXETYPE) != 0;
}

}  // namespace

void addAppIdVariable(Replacements& variables) { variables.add(L"APPID", kAppIdText); }

HRESULT addModuleVariables(Replacements& variables) {
    std::wstring path;
    RETURN_IF_FAILED(modulePath(path));
    const bool ownExecutable = moduleHandle() == GetModuleHandleW(nullptr);
    variables.add(L"Module", ownExecutable ? L"\"" + path + L"\"" : path);
    variables.add(L"Module_Raw", path);
    return S_OK;
}

HRESULT addClassVariables(Replacements& variables) {
    RETURN_IF_FAILED(addModuleVariables(variables));
    wchar_t libid[39];
    if (StringFromGUID2(theModule().libid(), libid, 39) == 0) return E_UNEXPECTED;
    variables.add(L"MODULEGUID", libid);
    const std::wstring* path = variables.find(L"Module_Raw");
    variables.add(L"MODULETYPE", isExecutable(*path) ? L"LocalServer32" : L"InprocServer32");
    addAppIdVariable(variables);
    return S_OK;
}

}  // namespace tyvarion::module

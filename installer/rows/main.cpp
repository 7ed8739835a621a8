// registration-rows MODULE.dll x64|x86 OUTPUT-FOLDER
//
// Writes the registry rows of an installer package for the built module: what
// the module's DllRegisterServer writes (its AppID script, its class entries,
// its type library as the platform registers it), with the path the package
// installs it to. The rows come from the module's own data, so they cannot
// drift from it:
//   registration.wxi         the rows only this architecture's package writes:
//                            its class (kept apart per registry view), its type
//                            library's path, and on x64 the Interface keys
//   registration-shared.wxi  the rows both packages write to the same keys:
//                            the AppID, the ProgIDs, the type library's version
//                            key, and the Interface keys of the 32-bit view
//                            (which the x64 platform writes there too). The
//                            same text for both architectures, so one component
//                            with one GUID in both packages can hold it and
//                            Windows Installer removes it with the last of them
//   registration-progids.wxi x64 only: the ProgIDs again, for the 64-bit view
//                            where the 32-bit view keeps them apart (Wine)
//   module-version.txt       the module's product version
// The package's WiX source defines the variables the rows use:
// ProgramFiles (the Program Files folder's property) and InstallFolderName.
#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "module/class_entries.h"
#include "module/com_ptr.h"
#include "module/hresult.h"
#include "module/module_ids.h"
#include "module/registry_script.h"
#include "platform/text.h"
#include "rows/module_file.h"
#include "rows/registry_rows.h"
#include "rows/type_library_rows.h"
#include "rows/wix_include.h"

namespace tyvarion::installer {
namespace {

// Where the package puts the module, in the installer's formatted notation.
constexpr const wchar_t* kHelpFolder = L"[$(var.ProgramFiles)]$(var.InstallFolderName)";

std::string narrow(const std::wstring& text) { return utf16ToUtf8(text.c_str(), text.size()); }

std::wstring widen(const char* text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(length > 0 ? static_cast<std::size_t>(length) : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
    wide.resize(wide.size() - 1);
    return wide;
}

std::wstring fileName(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

int fail(const char* step, HRESULT result) {
    std::fprintf(stderr, "registration-rows: %s failed: 0x%08lX\n", step, static_cast<unsigned long>(result));
    return 1;
}

bool write(const std::wstring& folder, const char* name, const std::string& text) {
    const std::wstring path = folder + L"\\" + widen(name);
    std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file) std::fprintf(stderr, "registration-rows: cannot write %s\n", narrow(path).c_str());
    return static_cast<bool>(file);
}

// The module's replacement variables, with the package's values in the formatted notation.
HRESULT packageVariables(const std::wstring& modulePath, module::Replacements& variables) {
    const std::wstring installedModule = L"[#" + fileName(modulePath) + L"]";
    variables.add(L"Module", installedModule);
    variables.add(L"Module_Raw", installedModule);
    wchar_t libid[39] = {};
    if (StringFromGUID2(module::kLibid, libid, 39) == 0) return E_UNEXPECTED;
    variables.add(L"MODULEGUID", libid);
    variables.add(L"MODULETYPE", isExecutable(modulePath) ? L"LocalServer32" : L"InprocServer32");
    variables.add(L"APPID", module::kAppIdText);
    module::Replacements names;
    module::addTyvarionClassNames(names);
    const std::wstring* friendly = names.find(L"FriendlyName");
    const std::optional<std::wstring> formatted = friendly ? formattedText(*friendly) : std::nullopt;
    if (!formatted) return E_INVALIDARG;
    variables.add(L"FriendlyName", *formatted);
    return S_OK;
}

int run(const std::wstring& modulePath, bool x64, const std::wstring& output) {
    module::Replacements variables;
    HRESULT result = packageVariables(modulePath, variables);
    if (FAILED(result)) return fail("the variables", result);

    // In DllRegisterServer's order: the AppID script, the class, the type library.
    std::vector<RegistryRow> appIdRows;
    std::vector<RegistryRow> classRows;
    std::string script;
    std::vector<module::RegistryItem> appId;
    if (FAILED(result = moduleAppIdScript(modulePath, script))) return fail("reading the AppID script", result);
    if (FAILED(result = module::parseRegistryScript(script, appId))) return fail("parsing the AppID script", result);
    if (FAILED(result = appendRows(appId, variables, appIdRows))) return fail("the AppID rows", result);
    if (FAILED(result = appendRows(module::tyvarionClassEntries(), variables, classRows)))
        return fail("the class rows", result);

    module::com_ptr<ITypeLib> library;
    if (FAILED(result = LoadTypeLibEx(modulePath.c_str(), REGKIND_NONE, library.put())))
        return fail("loading the type library", result);
    TypeLibraryRows typeLibrary;
    if (FAILED(result = typeLibraryRows(*library.get(), L"[#" + fileName(modulePath) + L"]", kHelpFolder,
                                        typeLibrary)))
        return fail("the type library rows", result);

    std::vector<RegistryRow> own;
    std::vector<RegistryRow> progIds;
    for (const RegistryRow& row : classRows) (redirectedBetweenViews(row.key) ? own : progIds).push_back(row);
    own.insert(own.end(), typeLibrary.path.begin(), typeLibrary.path.end());
    // The x86 package's Interface keys are those of the 32-bit view.
    if (x64) own.insert(own.end(), typeLibrary.interfaces.begin(), typeLibrary.interfaces.end());
    std::vector<RegistryRow> shared = appIdRows;
    shared.insert(shared.end(), progIds.begin(), progIds.end());
    shared.insert(shared.end(), typeLibrary.version.begin(), typeLibrary.version.end());
    shared.insert(shared.end(), typeLibrary.interfaces.begin(), typeLibrary.interfaces.end());

    std::wstring version;
    if (FAILED(result = moduleVersion(modulePath, version))) return fail("reading the version", result);

    const std::string source = "generated by registration-rows from " + narrow(fileName(modulePath));
    const std::string ownSource = source + (x64 ? " (x64)" : " (x86)") + "; do not edit";
    bool written = write(output, "registration.wxi", wixInclude(own, ownSource, false));
    written = write(output, "registration-shared.wxi",
                    wixInclude(shared, source + ", the same for both architectures; do not edit", true)) &&
              written;
    if (x64) written = write(output, "registration-progids.wxi", wixInclude(progIds, ownSource, true)) && written;
    written = write(output, "module-version.txt", narrow(version) + "\n") && written;
    if (!written) return 1;
    std::printf("registration-rows: %zu rows of this architecture, %zu shared by both, module version %s\n",
                own.size(), shared.size(), narrow(version).c_str());
    return 0;
}

}  // namespace
}  // namespace tyvarion::installer

int wmain(int argc, wchar_t** argv) {
    const std::wstring arch = argc == 4 ? argv[2] : L"";
    if (arch != L"x64" && arch != L"x86") {
        std::fprintf(stderr, "usage: registration-rows MODULE.dll x64|x86 OUTPUT-FOLDER\n");
        return 2;
    }
    return tyvarion::installer::run(argv[1], arch == L"x64", argv[3]);
}

// Registration through the real regsvr32 and the module's own exports: every
// key and value, byte for byte, against a picture of HKEY_CLASSES_ROOT.
#include "com_test_support.h"

#include <oleauto.h>

#include <algorithm>

#include "module/module_ids.h"
#include "registry_snapshot.h"

namespace com_testing {
namespace {

using tyvarion::module::kAppIdText;
using tyvarion::module::kClsidTyvarionText;
using tyvarion::module::kLibid;

const std::wstring kClassKey = std::wstring(L"CLSID\\") + kClsidTyvarionText;

// What RegisterTypeLib writes is the platform's business.
const std::vector<std::wstring> kTypeLibraryKeys = {
    L"TypeLib\\{3361AC55-446C-45A1-8F65-BBDD0342F7FB}",
    L"Interface\\{F410A5B5-6AA7-41B3-A472-5FDDC4D75572}",
    L"Interface\\{1B33D185-1217-403B-BB78-CA99B276ECDD}",
    L"Interface\\{7ED9FF4F-21B2-40EC-82B4-FF097181CF68}",
    L"Interface\\{B7269D32-1584-40CD-9B60-530BE165E2DC}",
};

std::vector<std::string> sorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> registrationLines() {
    const std::wstring friendly = L"Tyvarion Object";
    const std::wstring clsid = kClsidTyvarionText;
    return sorted({
        addedKey(L"eyetracker2.Tyvarion.1"),
        addedString(L"eyetracker2.Tyvarion.1", L"", friendly),
        addedKey(L"eyetracker2.Tyvarion.1\\CLSID"),
        addedString(L"eyetracker2.Tyvarion.1\\CLSID", L"", clsid),
        addedKey(L"eyetracker2.Tyvarion"),
        addedString(L"eyetracker2.Tyvarion", L"", friendly),
        addedKey(L"eyetracker2.Tyvarion\\CLSID"),
        addedString(L"eyetracker2.Tyvarion\\CLSID", L"", clsid),
        addedKey(L"eyetracker2.Tyvarion\\CurVer"),
        addedString(L"eyetracker2.Tyvarion\\CurVer", L"", L"eyetracker2.Tyvarion.1"),
        addedKey(kClassKey),
        addedString(kClassKey, L"", friendly),
        addedString(kClassKey, L"AppID", L"{3361ac55-446c-45a1-8f65-bbdd0342f7fb}"),
        addedKey(kClassKey + L"\\ProgID"),
        addedString(kClassKey + L"\\ProgID", L"", L"eyetracker2.Tyvarion.1"),
        addedKey(kClassKey + L"\\VersionIndependentProgID"),
        addedString(kClassKey + L"\\VersionIndependentProgID", L"", L"eyetracker2.Tyvarion"),
        addedKey(kClassKey + L"\\Programmable"),
        addedKey(kClassKey + L"\\InprocServer32"),
        addedString(kClassKey + L"\\InprocServer32", L"", modulePath()),
        addedString(kClassKey + L"\\InprocServer32", L"ThreadingModel", L"apartment"),
        addedKey(kClassKey + L"\\TypeLib"),
        addedString(kClassKey + L"\\TypeLib", L"", L"{3361AC55-446C-45A1-8F65-BBDD0342F7FB}"),
        addedKey(L"AppID\\{3361ac55-446c-45a1-8f65-bbdd0342f7fb}"),
        addedString(L"AppID\\{3361ac55-446c-45a1-8f65-bbdd0342f7fb}", L"", L"eyetracker2_template"),
        addedKey(L"AppID\\eyetracker2_template.DLL"),
        addedString(L"AppID\\eyetracker2_template.DLL", L"AppID", L"{3361ac55-446c-45a1-8f65-bbdd0342f7fb}"),
    });
}

bool keyExists(const std::wstring& path) {
    unique_hkey key;
    return RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

HRESULT loadRegisteredLibrary() {
    com_ptr<ITypeLib> library;
    return LoadRegTypeLib(kLibid, 1, 0, 0x0409, library.put());
}

TEST(Registration, Regsvr32WritesExactlyTheEntriesAndRemovesThemAgain) {
    runRegsvr32({L"/u", L"/s", modulePath()});  // whatever an earlier run left
    // The stand-in host library writes the contract's interface keys too.
    unregisterHostLibrary();
    ASSERT_FALSE(keyExists(kClassKey));
    const RegistrySnapshot before = takeSnapshot(HKEY_CLASSES_ROOT);
    ASSERT_TRUE(before.count(L"CLSID") == 1 && before.count(L"AppID") == 1);

    // Registration.
    ASSERT_EQ(0u, runRegsvr32({L"/s", modulePath()}));
    const RegistrySnapshot registered = takeSnapshot(HKEY_CLASSES_ROOT);
    EXPECT_EQ(registrationLines(), sorted(differences(before, registered, kTypeLibraryKeys)));
    EXPECT_HR(S_OK, loadRegisteredLibrary());

    // Twice: exactly the same.
    ASSERT_EQ(0u, runRegsvr32({L"/s", modulePath()}));
    EXPECT_EQ(std::vector<std::string>{}, differences(registered, takeSnapshot(HKEY_CLASSES_ROOT)));

    // The class key is rebuilt from scratch: what else was below it goes.
    unique_hkey stale;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, (kClassKey + L"\\Stale\\Deeper").c_str(), 0,
                                             nullptr, 0, KEY_WRITE, nullptr, stale.put(), nullptr));
    stale.reset();
    ASSERT_EQ(0u, runRegsvr32({L"/s", modulePath()}));
    EXPECT_EQ(std::vector<std::string>{}, differences(registered, takeSnapshot(HKEY_CLASSES_ROOT)));

    // Unregistration removes everything listed and keeps CLSID and AppID.
    ASSERT_EQ(0u, runRegsvr32({L"/u", L"/s", modulePath()}));
    const RegistrySnapshot unregistered = takeSnapshot(HKEY_CLASSES_ROOT);
    EXPECT_EQ(std::vector<std::string>{}, differences(before, unregistered));
    EXPECT_TRUE(unregistered.count(L"CLSID") == 1 && unregistered.count(L"AppID") == 1);
    EXPECT_HR(TYPE_E_LIBNOTREGISTERED, loadRegisteredLibrary());
}

void createKey(const std::wstring& path) {
    unique_hkey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE,
                                             nullptr, key.put(), nullptr));
}

TEST(Registration, UnregistrationLeavesForeignKeysBelowTheAppIdButNotBelowTheClass) {
    const std::wstring appIdKey = L"AppID\\{3361ac55-446c-45a1-8f65-bbdd0342f7fb}";
    ASSERT_EQ(0u, runRegsvr32({L"/s", modulePath()}));
    createKey(appIdKey + L"\\Foreign");
    createKey(L"AppID\\eyetracker2_template.DLL\\Foreign");
    createKey(kClassKey + L"\\Foreign\\Deeper");
    ASSERT_EQ(0u, runRegsvr32({L"/u", L"/s", modulePath()}));

    // The script's keys go only once nothing is left below them; its named
    // value goes first, the default value stays with its key.
    RegistrySnapshot left = takeSnapshot(HKEY_CLASSES_ROOT);
    EXPECT_EQ(1u, left.count(appIdKey + L"\\Foreign"));
    EXPECT_EQ(1u, left[appIdKey].size());
    EXPECT_EQ(1u, left.count(L"AppID\\eyetracker2_template.DLL\\Foreign"));
    EXPECT_EQ(0u, left[L"AppID\\eyetracker2_template.DLL"].size());
    // The class's keys go with their whole subtree.
    EXPECT_EQ(0u, left.count(kClassKey));
    EXPECT_EQ(0u, left.count(L"eyetracker2.Tyvarion"));

    for (const std::wstring& path : {appIdKey + L"\\Foreign", appIdKey,
                                     std::wstring(L"AppID\\eyetracker2_template.DLL\\Foreign"),
                                     std::wstring(L"AppID\\eyetracker2_template.DLL")})
        EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str()));
}

// The module loaded into this process, for calling its exports directly.
class LoadedModule {
public:
    LoadedModule() : module_(LoadLibraryW(modulePath().c_str())) {}
    ~LoadedModule() {
        if (module_ != nullptr) FreeLibrary(module_);
    }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    bool loaded() const { return module_ != nullptr; }
    HRESULT call(const char* name) const {
        auto function = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void*>(GetProcAddress(module_, name)));
        return function != nullptr ? function() : E_UNEXPECTED;
    }

private:
    HMODULE module_;
};

constexpr LCID kGerman = 0x0407;

TEST(Registration, ExportsRestoreTheThreadLocaleOnEveryPath) {
    LoadedModule module;
    ASSERT_TRUE(module.loaded());
    ASSERT_TRUE(SetThreadLocale(kGerman));

    // Success both ways.
    EXPECT_HR(S_OK, module.call("DllRegisterServer"));
    EXPECT_EQ(kGerman, GetThreadLocale());
    EXPECT_HR(S_OK, loadRegisteredLibrary());
    EXPECT_HR(S_OK, module.call("DllUnregisterServer"));
    EXPECT_EQ(kGerman, GetThreadLocale());
    EXPECT_FALSE(keyExists(kClassKey));

    // A registry call that fails: a key of ours that already exists as a
    // volatile key cannot take the non-volatile CLSID subkey. The steps after
    // it are skipped.
    unique_hkey blocker;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, L"eyetracker2.Tyvarion.1", 0, nullptr,
                                             REG_OPTION_VOLATILE, KEY_WRITE, nullptr, blocker.put(),
                                             nullptr));
    blocker.reset();
    EXPECT_HR(HRESULT_FROM_WIN32(ERROR_CHILD_MUST_BE_VOLATILE), module.call("DllRegisterServer"));
    EXPECT_EQ(kGerman, GetThreadLocale());
    EXPECT_TRUE(keyExists(L"AppID\\{3361ac55-446c-45a1-8f65-bbdd0342f7fb}"));
    EXPECT_FALSE(keyExists(kClassKey));
    EXPECT_HR(TYPE_E_LIBNOTREGISTERED, loadRegisteredLibrary());
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(HKEY_CLASSES_ROOT, L"eyetracker2.Tyvarion.1"));

    // Unregistering what is not registered: the class entries are absent,
    // which is no error, but the platform refuses to unregister the library
    // (Wine: E_INVALIDARG).
    EXPECT_HR(E_INVALIDARG, module.call("DllUnregisterServer"));
    EXPECT_EQ(kGerman, GetThreadLocale());
    // The AppID script did not run: the step before it failed.
    EXPECT_TRUE(keyExists(L"AppID\\{3361ac55-446c-45a1-8f65-bbdd0342f7fb}"));

    ASSERT_EQ(0u, runRegsvr32({L"/s", modulePath()}));
    ASSERT_EQ(0u, runRegsvr32({L"/u", L"/s", modulePath()}));
    EXPECT_FALSE(keyExists(L"AppID\\{3361ac55-446c-45a1-8f65-bbdd0342f7fb}"));
    SetThreadLocale(LOCALE_USER_DEFAULT);
}

}  // namespace
}  // namespace com_testing

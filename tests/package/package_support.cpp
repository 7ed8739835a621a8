#include "package_support.h"

#include <msi.h>
#include <msiquery.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "module/com_ptr.h"

namespace package_testing {
namespace {

using tyvarion::module::unique_hkey;

void closeMsiHandle(MSIHANDLE handle) noexcept { MsiCloseHandle(handle); }
using unique_msihandle = tyvarion::unique_handle<MSIHANDLE, &closeMsiHandle>;

void closeHandle(HANDLE handle) noexcept { CloseHandle(handle); }
using unique_kernel_handle = tyvarion::unique_handle<HANDLE, &closeHandle>;

std::wstring environment(const wchar_t* name) {
    wchar_t value[32768];
    const DWORD length = GetEnvironmentVariableW(name, value, 32768);
    return length > 0 && length < 32768 ? std::wstring(value, length) : std::wstring();
}

void listFolder(const std::wstring& folder, std::vector<std::wstring>& paths) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        paths.push_back(folder + L"\\" + name);
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) listFolder(folder + L"\\" + name, paths);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

}  // namespace

const Inputs& inputs() {
    static const Inputs values{environment(L"TYVARION_PACKAGE"), environment(L"TYVARION_PREVIOUS_PACKAGE"),
                               environment(L"TYVARION_PACKAGE_FILES"), environment(L"TYVARION_HOST_SESSION"),
                               environment(L"TYVARION_CLIENT_LIBRARY"), environment(L"TYVARION_OTHER_PACKAGE"),
                               environment(L"TYVARION_OTHER_HOST_SESSION")};
    return values;
}

std::wstring quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

DWORD run(const std::wstring& commandLine) {
    std::wstring line = commandLine;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return 0xFFFFFFFF;
    unique_kernel_handle processHandle(process.hProcess);
    unique_kernel_handle threadHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process.hProcess, &code);
    return code;
}

DWORD msiexec(const std::wstring& arguments) { return run(L"msiexec.exe " + arguments); }
DWORD regsvr32(const std::wstring& arguments) { return run(L"regsvr32.exe " + arguments); }

RegistryPicture takePicture() {
    RegistryPicture picture;
    picture.own = com_testing::takeSnapshot(HKEY_CLASSES_ROOT);
    unique_hkey view32;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"Wow6432Node", 0, KEY_READ, view32.put()) == ERROR_SUCCESS)
        picture.view32 = com_testing::takeSnapshot(view32.get());
    return picture;
}

std::vector<std::string> differences(const RegistryPicture& before, const RegistryPicture& after) {
    const std::vector<std::wstring> installerRecords = {L"Installer"};
    std::vector<std::string> lines = com_testing::differences(before.own, after.own, installerRecords);
    for (const std::string& line : com_testing::differences(before.view32, after.view32, installerRecords))
        lines.push_back("32-bit view: " + line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::vector<std::string> mismatch(const std::vector<std::string>& expected, const std::vector<std::string>& actual) {
    std::vector<std::string> sortedExpected = expected;
    std::vector<std::string> sortedActual = actual;
    std::sort(sortedExpected.begin(), sortedExpected.end());
    std::sort(sortedActual.begin(), sortedActual.end());
    std::vector<std::string> missing;
    std::vector<std::string> extra;
    std::set_difference(sortedExpected.begin(), sortedExpected.end(), sortedActual.begin(), sortedActual.end(),
                        std::back_inserter(missing));
    std::set_difference(sortedActual.begin(), sortedActual.end(), sortedExpected.begin(), sortedExpected.end(),
                        std::back_inserter(extra));
    std::vector<std::string> lines;
    for (const std::string& line : missing) lines.push_back("missing: " + line);
    for (const std::string& line : extra) lines.push_back("extra: " + line);
    return lines;
}

std::vector<std::wstring> programFiles() {
    std::vector<std::wstring> folders = {environment(L"ProgramW6432"), environment(L"ProgramFiles(x86)"),
                                         environment(L"ProgramFiles")};
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    std::vector<std::wstring> paths;
    for (const std::wstring& folder : folders)
        if (!folder.empty()) listFolder(folder, paths);
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::wstring installFolder() { return environment(L"ProgramFiles") + L"\\Tyvarion NBS"; }
std::wstring installFolder32() { return environment(L"ProgramFiles(x86)") + L"\\Tyvarion NBS"; }

std::vector<char> fileBytes(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring packageProperty(const std::wstring& package, const wchar_t* name) {
    unique_msihandle database;
    if (MsiOpenDatabaseW(package.c_str(), MSIDBOPEN_READONLY, database.put()) != ERROR_SUCCESS) return L"";
    unique_msihandle view;
    const std::wstring query = L"SELECT `Value` FROM `Property` WHERE `Property` = '" + std::wstring(name) + L"'";
    if (MsiDatabaseOpenViewW(database.get(), query.c_str(), view.put()) != ERROR_SUCCESS) return L"";
    if (MsiViewExecute(view.get(), 0) != ERROR_SUCCESS) return L"";
    unique_msihandle record;
    if (MsiViewFetch(view.get(), record.put()) != ERROR_SUCCESS) return L"";
    wchar_t value[256];
    DWORD length = 256;
    if (MsiRecordGetStringW(record.get(), 1, value, &length) != ERROR_SUCCESS) return L"";
    return std::wstring(value, length);
}

std::vector<std::wstring> relatedProducts(const std::wstring& upgradeCode) {
    std::vector<std::wstring> products;
    for (DWORD index = 0;; ++index) {
        wchar_t product[39];
        if (MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, index, product) != ERROR_SUCCESS) break;
        products.emplace_back(product);
    }
    return products;
}

std::wstring productVersion(const std::wstring& productCode) {
    wchar_t version[64];
    DWORD length = 64;
    if (MsiGetProductInfoW(productCode.c_str(), INSTALLPROPERTY_VERSIONSTRING, version, &length) != ERROR_SUCCESS)
        return L"";
    return std::wstring(version, length);
}

}  // namespace package_testing

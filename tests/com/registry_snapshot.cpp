#include "registry_snapshot.h"

#include <cstdio>

#include "module/com_ptr.h"
#include "platform/text.h"

namespace com_testing {
namespace {

using tyvarion::module::unique_hkey;

std::string narrow(const std::wstring& text) {
    return tyvarion::utf16ToUtf8(text.c_str(), text.size());
}

void snapshotKey(HKEY key, const std::wstring& path, RegistrySnapshot& snapshot) {
    auto& values = snapshot[path];
    for (DWORD index = 0;; ++index) {
        wchar_t name[16384];
        DWORD nameLength = 16384;
        DWORD type = 0;
        DWORD size = 0;
        LSTATUS status = RegEnumValueW(key, index, name, &nameLength, nullptr, &type, nullptr, &size);
        if (status != ERROR_SUCCESS) break;
        RegistryValue value{type, std::vector<BYTE>(size)};
        nameLength = 16384;
        status = RegEnumValueW(key, index, name, &nameLength, nullptr, &type, value.bytes.data(), &size);
        if (status != ERROR_SUCCESS) break;
        value.bytes.resize(size);
        values[std::wstring(name, nameLength)] = std::move(value);
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        const std::wstring child(name, nameLength);
        // The 32-bit view: what the module shares with it (AppID, Interface,
        // TypeLib) appears there a second time.
        if (path.empty() && CompareStringOrdinal(child.c_str(), -1, L"Wow6432Node", -1, TRUE) == CSTR_EQUAL)
            continue;
        unique_hkey childKey;
        if (RegOpenKeyExW(key, child.c_str(), 0, KEY_READ, childKey.put()) != ERROR_SUCCESS) continue;
        snapshotKey(childKey.get(), path.empty() ? child : path + L"\\" + child, snapshot);
    }
}

std::string describe(const RegistryValue& value) {
    const std::size_t size = value.bytes.size();
    if (value.type == REG_SZ && size >= 2 && size % 2 == 0 && value.bytes[size - 1] == 0 &&
        value.bytes[size - 2] == 0) {
        std::wstring text(size / 2 - 1, L'\0');
        for (std::size_t i = 0; i < text.size(); ++i)
            text[i] = static_cast<wchar_t>(value.bytes[2 * i] | (value.bytes[2 * i + 1] << 8));
        if (text.find(L'\0') == std::wstring::npos)
            return "REG_SZ \"" + narrow(text) + "\" (" + std::to_string(size) + " bytes)";
    }
    std::string hex = "type " + std::to_string(value.type) + ":";
    for (BYTE byte : value.bytes) {
        char digits[4];
        std::snprintf(digits, sizeof digits, " %02x", byte);
        hex += digits;
    }
    return hex;
}

bool isIgnored(const std::wstring& path, const std::vector<std::wstring>& ignored) {
    for (const std::wstring& prefix : ignored) {
        if (path.size() < prefix.size()) continue;
        if (path.size() > prefix.size() && path[prefix.size()] != L'\\') continue;
        if (CompareStringOrdinal(path.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                 static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL)
            return true;
    }
    return false;
}

std::string valueLine(char sign, const std::wstring& path, const std::wstring& name,
                      const std::string& data) {
    return std::string(1, sign) + "value " + narrow(path) + " [" + narrow(name) + "] " + data;
}

}  // namespace

RegistrySnapshot takeSnapshot(HKEY root) {
    RegistrySnapshot snapshot;
    snapshotKey(root, L"", snapshot);
    return snapshot;
}

std::vector<std::string> differences(const RegistrySnapshot& before, const RegistrySnapshot& after,
                                     const std::vector<std::wstring>& ignored) {
    std::vector<std::string> lines;
    for (const auto& [path, values] : after) {
        if (isIgnored(path, ignored)) continue;
        const auto old = before.find(path);
        if (old == before.end()) lines.push_back(addedKey(path));
        for (const auto& [name, value] : values) {
            const RegistryValue* previous = nullptr;
            if (old != before.end()) {
                const auto found = old->second.find(name);
                if (found != old->second.end()) previous = &found->second;
            }
            if (previous == nullptr) {
                lines.push_back(valueLine('+', path, name, describe(value)));
            } else if (!(*previous == value)) {
                lines.push_back(valueLine('~', path, name, describe(*previous) + " -> " + describe(value)));
            }
        }
        if (old != before.end()) {
            for (const auto& [name, value] : old->second)
                if (values.find(name) == values.end()) lines.push_back(valueLine('-', path, name, describe(value)));
        }
    }
    for (const auto& [path, values] : before) {
        if (isIgnored(path, ignored) || after.find(path) != after.end()) continue;
        lines.push_back("-key " + narrow(path));
        for (const auto& [name, value] : values) lines.push_back(valueLine('-', path, name, describe(value)));
    }
    return lines;
}

std::string addedKey(const std::wstring& path) { return "+key " + narrow(path); }

std::string addedString(const std::wstring& path, const std::wstring& name, const std::wstring& text) {
    RegistryValue value{REG_SZ, {}};
    for (wchar_t c : text) {
        value.bytes.push_back(static_cast<BYTE>(c & 0xFF));
        value.bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    value.bytes.push_back(0);
    value.bytes.push_back(0);
    return valueLine('+', path, name, describe(value));
}

}  // namespace com_testing

// BSTR allocation for platforms without OLE Automation, laid out as Windows lays
// it out: [32-bit byte count][UTF-16 characters][16-bit terminator].
#ifndef _WIN32

#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/com_types.h"

namespace {

constexpr std::size_t kPrefixBytes = sizeof(std::uint32_t);

std::uint32_t* prefixOf(BSTR text) {
    return reinterpret_cast<std::uint32_t*>(reinterpret_cast<char*>(text) - kPrefixBytes);
}

}  // namespace

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    if (length > (std::numeric_limits<std::uint32_t>::max() - kPrefixBytes - 2) / 2) {
        return nullptr;
    }
    const std::size_t byteCount = std::size_t{length} * sizeof(OLECHAR);
    // calloc keeps the prefix aligned and the characters zeroed when text is null.
    void* block = std::calloc(1, kPrefixBytes + byteCount + sizeof(OLECHAR));
    if (block == nullptr) return nullptr;
    auto* prefix = static_cast<std::uint32_t*>(block);
    *prefix = static_cast<std::uint32_t>(byteCount);
    auto* characters = reinterpret_cast<OLECHAR*>(static_cast<char*>(block) + kPrefixBytes);
    if (text != nullptr && byteCount != 0) std::memcpy(characters, text, byteCount);
    characters[length] = 0;
    return characters;
}

BSTR SysAllocString(const OLECHAR* text) {
    if (text == nullptr) return nullptr;
    std::size_t length = 0;
    while (text[length] != 0) ++length;
    if (length > std::numeric_limits<UINT>::max()) return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(length));
}

UINT SysStringByteLen(BSTR text) { return text == nullptr ? 0 : *prefixOf(text); }

UINT SysStringLen(BSTR text) { return SysStringByteLen(text) / sizeof(OLECHAR); }

void SysFreeString(BSTR text) {
    if (text != nullptr) std::free(prefixOf(text));
}

#endif  // !_WIN32

#include "rows/type_library_rows.h"

#include <cwchar>

#include "module/hresult.h"
#include "platform/unique_handle.h"

namespace tyvarion::installer {
namespace {

// The automation marshaler: the universal proxy for dual and custom
// interfaces, the dispatch proxy for pure dispinterfaces.
constexpr const wchar_t* kUniversalProxy = L"{00020424-0000-0000-C000-000000000046}";
constexpr const wchar_t* kDispatchProxy = L"{00020420-0000-0000-C000-000000000046}";

std::wstring guidText(const GUID& guid) {
    wchar_t text[39] = {};
    StringFromGUID2(guid, text, 39);
    return text;
}

std::wstring format(const wchar_t* pattern, unsigned first, unsigned second = 0) {
    wchar_t text[32] = {};
    std::swprintf(text, 32, pattern, first, second);
    return text;
}

const wchar_t* systemKindName(SYSKIND kind) {
    switch (kind) {
        case SYS_WIN16: return L"win16";
        case SYS_WIN32: return L"win32";
        case SYS_WIN64: return L"win64";
        case SYS_MAC: return L"mac";
    }
    return nullptr;
}

std::wstring text(const unique_bstr& value) {
    return value ? std::wstring(value.get(), SysStringLen(value.get())) : std::wstring();
}

class LibraryAttributes {
public:
    explicit LibraryAttributes(ITypeLib& library) : library_(library) {}
    ~LibraryAttributes() {
        if (attributes_ != nullptr) library_.ReleaseTLibAttr(attributes_);
    }
    LibraryAttributes(const LibraryAttributes&) = delete;
    LibraryAttributes& operator=(const LibraryAttributes&) = delete;

    HRESULT load() { return library_.GetLibAttr(&attributes_); }
    const TLIBATTR& get() const { return *attributes_; }

private:
    ITypeLib& library_;
    TLIBATTR* attributes_ = nullptr;
};

class TypeAttributes {
public:
    TypeAttributes() = default;
    ~TypeAttributes() {
        if (attributes_ != nullptr) info_->ReleaseTypeAttr(attributes_);
        if (info_ != nullptr) info_->Release();
    }
    TypeAttributes(const TypeAttributes&) = delete;
    TypeAttributes& operator=(const TypeAttributes&) = delete;

    HRESULT load(ITypeLib& library, UINT index) {
        RETURN_IF_FAILED(library.GetTypeInfo(index, &info_));
        return info_->GetTypeAttr(&attributes_);
    }
    const TYPEATTR& get() const { return *attributes_; }

private:
    ITypeInfo* info_ = nullptr;
    TYPEATTR* attributes_ = nullptr;
};

HRESULT appendInterface(ITypeLib& library, UINT index, const TLIBATTR& owner, std::vector<RegistryRow>& rows) {
    TYPEKIND kind{};
    RETURN_IF_FAILED(library.GetTypeInfoType(index, &kind));
    if (kind != TKIND_INTERFACE && kind != TKIND_DISPATCH) return S_OK;
    TypeAttributes type;
    RETURN_IF_FAILED(type.load(library, index));
    const bool automation = (type.get().wTypeFlags & TYPEFLAG_FOLEAUTOMATION) != 0;
    if (kind != TKIND_DISPATCH && !automation) return S_OK;

    unique_bstr name;
    RETURN_IF_FAILED(library.GetDocumentation(static_cast<INT>(index), name.put(), nullptr, nullptr, nullptr));
    const bool universal = kind == TKIND_INTERFACE || (type.get().wTypeFlags & TYPEFLAG_FDUAL) != 0;
    const wchar_t* proxy = universal ? kUniversalProxy : kDispatchProxy;
    const std::wstring key = L"Interface\\" + guidText(type.get().guid);
    if (name) {
        const std::optional<std::wstring> title = formattedText(text(name));
        if (!title) return E_INVALIDARG;
        rows.push_back({key, L"", *title, false});
    }
    rows.push_back({key + L"\\ProxyStubClsid", L"", proxy, false});
    rows.push_back({key + L"\\ProxyStubClsid32", L"", proxy, false});
    rows.push_back({key + L"\\TypeLib", L"", guidText(owner.guid), false});
    rows.push_back({key + L"\\TypeLib", L"Version",
                    format(L"%x.%x", owner.wMajorVerNum, owner.wMinorVerNum), false});
    return S_OK;
}

}  // namespace

HRESULT typeLibraryRows(ITypeLib& library, const std::wstring& modulePath, const std::wstring& helpFolder,
                        TypeLibraryRows& rows) {
    LibraryAttributes attributes(library);
    RETURN_IF_FAILED(attributes.load());
    const TLIBATTR& lib = attributes.get();
    const wchar_t* system = systemKindName(lib.syskind);
    if (system == nullptr) return E_INVALIDARG;

    // The library's description names it; a library without one by its name.
    unique_bstr name;
    unique_bstr description;
    RETURN_IF_FAILED(library.GetDocumentation(-1, name.put(), description.put(), nullptr, nullptr));
    const std::wstring title = description && SysStringLen(description.get()) != 0 ? text(description) : text(name);

    const std::wstring key = L"TypeLib\\" + guidText(lib.guid) + L"\\" +
                             format(L"%x.%x", lib.wMajorVerNum, lib.wMinorVerNum);
    const std::optional<std::wstring> formattedTitle = formattedText(title);
    if (!formattedTitle) return E_INVALIDARG;
    rows.version.push_back({key, L"", *formattedTitle, false});
    rows.path.push_back({key + L"\\" + format(L"%x", static_cast<unsigned>(lib.lcid)) + L"\\" + system, L"", modulePath, false});
    rows.version.push_back({key + L"\\FLAGS", L"", format(L"%u", lib.wLibFlags), false});
    rows.version.push_back({key + L"\\HELPDIR", L"", helpFolder, false});

    const UINT count = library.GetTypeInfoCount();
    for (UINT index = 0; index < count; ++index)
        RETURN_IF_FAILED(appendInterface(library, index, lib, rows.interfaces));
    return S_OK;
}

}  // namespace tyvarion::installer

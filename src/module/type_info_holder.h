#pragma once
// CComTypeInfoHolder: the type information of one type from a registered type
// library, loaded on first use and kept, with its name cache, until module
// stop. The process has two (type_info_holders.h), shared by every object.
//
// Threads: any. Loading and building the name cache happen under the module's
// typeInfoLock, with the state tested again once the lock is held, so two
// first calls load once. Once both the type information and the name cache are
// set they stay unchanged until module stop, so the fast test and the lookups
// in the cache take no lock.

#include "platform/com_types.h"  // first: windows.h without the SendMessage macro

#include <oaidl.h>

#include <atomic>
#include <optional>

#include "module/type_info_name_cache.h"

namespace tyvarion::module {

class CComTypeInfoHolder {
public:
    // `registeredLocale`, when given, is the locale the library is registered
    // under: asked for a locale the platform finds no library for, the load
    // tries that one before it gives up.
    constexpr CComTypeInfoHolder(const GUID& guid, const GUID& libid, WORD majorVersion,
                                 WORD minorVersion, std::optional<LCID> registeredLocale) noexcept
        : guid_(&guid),
          libid_(&libid),
          majorVersion_(majorVersion),
          minorVersion_(minorVersion),
          registeredLocale_(registeredLocale) {}
    CComTypeInfoHolder(const CComTypeInfoHolder&) = delete;
    CComTypeInfoHolder& operator=(const CComTypeInfoHolder&) = delete;

    // The cached type information, loaded for `locale` if there is none yet,
    // with a reference for the caller; the load's failure code otherwise.
    HRESULT getTypeInfo(LCID locale, ITypeInfo** typeInfo) noexcept;
    // One name is looked up in the name cache first; any other count, or a
    // name the cache does not have, goes to the type information.
    HRESULT getIDsOfNames(LCID locale, LPOLESTR* names, UINT count, DISPID* ids) noexcept;
    // The type information's Invoke on `instance`; `locale` serves only the load.
    HRESULT invoke(void* instance, DISPID id, LCID locale, WORD flags, DISPPARAMS* parameters,
                   VARIANT* result, EXCEPINFO* exception, UINT* argumentError) noexcept;

    // Loads the type information and builds the name cache, unless both are there.
    HRESULT ensureLoaded(LCID locale) noexcept;

private:
    // Under typeInfoLock, with no type information cached yet.
    HRESULT loadTypeInfo(LCID locale) noexcept;
    // Module stop: releases the type information and frees the name cache.
    static void cleanup(void* holder) noexcept;

    const GUID* guid_;
    const GUID* libid_;
    WORD majorVersion_;
    WORD minorVersion_;
    std::optional<LCID> registeredLocale_;
    std::atomic<ITypeInfo*> typeInfo_{nullptr};  // ITypeInfo2 when the type information has it
    std::atomic<TypeInfoNameCache*> nameCache_{nullptr};  // owned; freed by cleanup()
};

}  // namespace tyvarion::module

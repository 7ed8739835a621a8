// The name cache of the type-information holder, built from the stand-in host
// library's IEyeTracker2 without registering anything.
#include "com_test_support.h"

#include <oleauto.h>

#include "module/module_ids.h"
#include "module/type_info_name_cache.h"

namespace com_testing {
namespace {

using tyvarion::module::buildTypeInfoNameCache;
using tyvarion::module::kIidEyeTracker2;
using tyvarion::module::kIidTyvarion;
using tyvarion::module::TypeInfoNameCache;

com_ptr<ITypeInfo> typeInfoFrom(const std::wstring& file, REFGUID guid) {
    com_ptr<ITypeLib> library;
    EXPECT_HR(S_OK, LoadTypeLibEx(file.c_str(), REGKIND_NONE, library.put()));
    com_ptr<ITypeInfo> typeInfo;
    if (library) {
        EXPECT_HR(S_OK, library.get()->GetTypeInfoOfGuid(guid, typeInfo.put()));
    }
    return typeInfo;
}

DISPID find(const TypeInfoNameCache& cache, const wchar_t* name) {
    DISPID id = 777;
    return cache.find(name, id) ? id : DISPID_UNKNOWN;
}

TEST(TypeInfoNameCache, HoldsEveryFunctionOfTheDispatchInOrder) {
    com_ptr<ITypeInfo> typeInfo = typeInfoFrom(hostLibraryPath(), kIidEyeTracker2);
    ASSERT_TRUE(typeInfo);
    std::unique_ptr<TypeInfoNameCache> cache;
    ASSERT_HR(S_OK, buildTypeInfoNameCache(typeInfo.get(), cache));
    ASSERT_TRUE(cache);

    // IUnknown's three and IDispatch's four come first, then the contract's 25.
    ASSERT_EQ(32u, cache->count);
    const char* const inherited[] = {"QueryInterface", "AddRef", "Release", "GetTypeInfoCount",
                                     "GetTypeInfo", "GetIDsOfNames", "Invoke"};
    for (UINT index = 0; index < 7; ++index) EXPECT_EQ(inherited[index], text(cache->entries[index].name));
    EXPECT_EQ("GetCaps", text(cache->entries[7].name));
    EXPECT_EQ(1, cache->entries[7].id);
    EXPECT_EQ(7u, cache->entries[7].length);
    EXPECT_EQ("SetAOISet", text(cache->entries[31].name));
    EXPECT_EQ(25, cache->entries[31].id);

    // Exact names only: letter case, prefixes and extensions miss.
    EXPECT_EQ(6, find(*cache, L"GetStatus"));
    EXPECT_EQ(25, find(*cache, L"SetAOISet"));
    for (const wchar_t* name : {L"getstatus", L"GETSTATUS", L"GetStatu", L"GetStatusX", L"", L"status"})
        EXPECT_EQ(DISPID_UNKNOWN, find(*cache, name)) << tyvarion::utf16ToUtf8(name, wcslen(name));
    EXPECT_EQ(DISPID_UNKNOWN, find(*cache, nullptr));
    EXPECT_EQ(0x60010000, find(*cache, L"GetTypeInfoCount"));
}

TEST(TypeInfoNameCache, LastElementWinsAndUnreadableElementsMatchNothing) {
    TypeInfoNameCache cache;
    cache.count = 4;
    cache.entries = std::make_unique<TypeInfoNameCache::Entry[]>(4);
    const auto set = [&](UINT index, const wchar_t* name, DISPID id) {
        cache.entries[index].name.reset(SysAllocString(name));
        cache.entries[index].length = static_cast<UINT>(wcslen(name));
        cache.entries[index].id = id;
    };
    set(0, L"Name", 1);
    set(2, L"Name", 3);
    set(3, L"Other", 4);
    // Element 1 could not be read: no name, length 0.
    EXPECT_EQ(3, find(cache, L"Name"));
    EXPECT_EQ(4, find(cache, L"Other"));
    EXPECT_EQ(DISPID_UNKNOWN, find(cache, L""));
    EXPECT_EQ(DISPID_UNKNOWN, find(cache, nullptr));
}

TEST(TypeInfoNameCache, StaysEmptyForATypeWithoutFunctions) {
    // The class: no functions of its own.
    com_ptr<ITypeInfo> coclass = typeInfoFrom(modulePath(), tyvarion::module::kClsidTyvarion);
    ASSERT_TRUE(coclass);
    std::unique_ptr<TypeInfoNameCache> cache = std::make_unique<TypeInfoNameCache>();
    EXPECT_HR(S_OK, buildTypeInfoNameCache(coclass.get(), cache));
    EXPECT_FALSE(cache);

    // ITyvarion has only what IDispatch brings.
    com_ptr<ITypeInfo> tyvarion = typeInfoFrom(modulePath(), kIidTyvarion);
    ASSERT_TRUE(tyvarion);
    ASSERT_HR(S_OK, buildTypeInfoNameCache(tyvarion.get(), cache));
    ASSERT_TRUE(cache);
    EXPECT_EQ(7u, cache->count);
    EXPECT_EQ(DISPID_UNKNOWN, find(*cache, L"GetStatus"));
}

}  // namespace
}  // namespace com_testing

// The stand-in for the host's EyeTracker2Lib describes the contract exactly as
// the module's own library does, under the host's library identity.
#include "com_test_support.h"

#include <oleauto.h>

#include <map>

#include "module/module_ids.h"
#include "type_text.h"

namespace com_testing {
namespace {

struct TypeDescription {
    TYPEKIND kind;
    std::string guid;
    WORD flags;
    std::vector<std::string> functions;
    std::vector<std::string> variables;

    bool operator==(const TypeDescription&) const = default;
};

// Every entry of a library by name; dual interfaces by their interface half too.
std::map<std::string, TypeDescription> describe(ITypeLib* library) {
    std::map<std::string, TypeDescription> types;
    for (UINT index = 0; index < library->GetTypeInfoCount(); ++index) {
        com_ptr<ITypeInfo> info;
        EXPECT_HR(S_OK, library->GetTypeInfo(index, info.put()));
        if (!info) continue;
        TYPEATTR* attributes = nullptr;
        EXPECT_HR(S_OK, info.get()->GetTypeAttr(&attributes));
        if (attributes == nullptr) continue;
        TypeDescription type{attributes->typekind, guidText(attributes->guid), attributes->wTypeFlags,
                             functions(info.get()), variables(info.get())};
        info.get()->ReleaseTypeAttr(attributes);
        const std::string name = memberName(info.get(), MEMBERID_NIL);
        types[name] = type;
        HREFTYPE reference = 0;
        com_ptr<ITypeInfo> vtable;
        if (type.kind == TKIND_DISPATCH && SUCCEEDED(info.get()->GetRefTypeOfImplType(static_cast<UINT>(-1), &reference)) &&
            SUCCEEDED(info.get()->GetRefTypeInfo(reference, vtable.put())))
            types[name + " (vtable)"] = TypeDescription{TKIND_INTERFACE, type.guid, 0, functions(vtable.get()), {}};
    }
    return types;
}

TEST(HostLibrary, StandInDescribesTheContractAsTheModuleDoes) {
    com_ptr<ITypeLib> host;
    ASSERT_HR(S_OK, LoadTypeLibEx(hostLibraryPath().c_str(), REGKIND_NONE, host.put()));
    TLIBATTR* attributes = nullptr;
    ASSERT_HR(S_OK, host.get()->GetLibAttr(&attributes));
    EXPECT_EQ("{3083C81D-C74F-4881-98A4-20C219E4E326}", guidText(attributes->guid));
    EXPECT_EQ(1, attributes->wMajorVerNum);
    EXPECT_EQ(0, attributes->wMinorVerNum);
    // Language-neutral: the platform finds it for whatever locale a caller asks.
    EXPECT_EQ(0u, attributes->lcid);
    host.get()->ReleaseTLibAttr(attributes);
    unique_bstr name;
    ASSERT_HR(S_OK, host.get()->GetDocumentation(-1, name.put(), nullptr, nullptr, nullptr));
    EXPECT_EQ("EyeTracker2Lib", text(name));

    com_ptr<ITypeLib> module;
    ASSERT_HR(S_OK, LoadTypeLibEx(modulePath().c_str(), REGKIND_NONE, module.put()));
    std::map<std::string, TypeDescription> expected = describe(module.get());
    // What the module adds: its class and its own interface.
    ASSERT_EQ(1u, expected.erase("Tyvarion"));
    ASSERT_EQ(1u, expected.erase("ITyvarion"));
    ASSERT_EQ(1u, expected.erase("ITyvarion (vtable)"));
    const std::map<std::string, TypeDescription> actual = describe(host.get());
    for (const auto& [typeName, type] : expected) {
        SCOPED_TRACE(typeName);
        const auto found = actual.find(typeName);
        ASSERT_NE(actual.end(), found);
        EXPECT_EQ(type.kind, found->second.kind);
        EXPECT_EQ(type.guid, found->second.guid);
        EXPECT_EQ(type.flags, found->second.flags);
        EXPECT_EQ(type.functions, found->second.functions);
        EXPECT_EQ(type.variables, found->second.variables);
    }
    EXPECT_EQ(expected.size(), actual.size());
}

}  // namespace
}  // namespace com_testing

// The object's own IDispatch (the ITyvarion pointer): it describes itself from
// the module file's type library and accepts no names and no calls.
// IProvideClassInfo describes the class from the module's registered library.
#include "late_bound.h"

#include <ocidl.h>

#include <algorithm>
#include <filesystem>

#include "eyetracker2_template.h"
#include "module/module_ids.h"
#include "type_text.h"

namespace com_testing {
namespace {

using tyvarion::module::kClsidTyvarion;
using tyvarion::module::kIidTyvarion;
using tyvarion::module::kLibid;

com_ptr<IDispatch> createObjectDispatch() {
    com_ptr<IDispatch> dispatch;
    EXPECT_HR(S_OK, CoCreateInstance(kClsidTyvarion, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(dispatch.put())));
    return dispatch;
}

struct Described {
    TYPEKIND kind = TKIND_MAX;
    std::string guid;
    std::string library;
};

Described describe(ITypeInfo* typeInfo) {
    Described described;
    TYPEATTR* attributes = nullptr;
    EXPECT_HR(S_OK, typeInfo->GetTypeAttr(&attributes));
    if (attributes == nullptr) return described;
    described.kind = attributes->typekind;
    described.guid = guidText(attributes->guid);
    typeInfo->ReleaseTypeAttr(attributes);
    com_ptr<ITypeLib> library;
    UINT index = 0;
    EXPECT_HR(S_OK, typeInfo->GetContainingTypeLib(library.put(), &index));
    TLIBATTR* libraryAttributes = nullptr;
    if (library && SUCCEEDED(library.get()->GetLibAttr(&libraryAttributes))) {
        described.library = guidText(libraryAttributes->guid);
        library.get()->ReleaseTLibAttr(libraryAttributes);
    }
    return described;
}

TEST(TyvarionDispatch, DescribesITyvarionFromTheModuleFile) {
    Apartment apartment;
    com_ptr<IDispatch> dispatch = createObjectDispatch();
    ASSERT_TRUE(dispatch);
    IDispatch* d = dispatch.get();

    UINT count = 7;
    EXPECT_HR(S_OK, d->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    EXPECT_HR(E_POINTER, d->GetTypeInfoCount(nullptr));

    com_ptr<ITypeInfo> typeInfo;
    EXPECT_HR(DISP_E_BADINDEX, d->GetTypeInfo(1, LOCALE_USER_DEFAULT, typeInfo.put()));
    EXPECT_HR(DISP_E_BADINDEX, d->GetTypeInfo(1, LOCALE_USER_DEFAULT, nullptr));
    EXPECT_HR(E_POINTER, d->GetTypeInfo(0, LOCALE_USER_DEFAULT, nullptr));
    // Any locale: the library comes from the file, not from the registry.
    for (LCID locale : {LCID{0}, LCID{0x0407}, LCID{0x0409}}) {
        ASSERT_HR(S_OK, d->GetTypeInfo(0, locale, typeInfo.put()));
        ASSERT_TRUE(typeInfo);
        const Described described = describe(typeInfo.get());
        EXPECT_EQ(TKIND_DISPATCH, described.kind);
        EXPECT_EQ("{F410A5B5-6AA7-41B3-A472-5FDDC4D75572}", described.guid);
        EXPECT_EQ("{3361AC55-446C-45A1-8F65-BBDD0342F7FB}", described.library);
    }
    EXPECT_EQ(0u, dispatch.release()->Release());
}

TEST(TyvarionDispatch, AcceptsNoNamesAndNoCalls) {
    Apartment apartment;
    com_ptr<IDispatch> dispatch = createObjectDispatch();
    ASSERT_TRUE(dispatch);
    IDispatch* d = dispatch.get();

    // No name, whatever is asked; the identifiers stay as they were.
    for (const wchar_t* name : {L"GetStatus", L"Invoke", L""}) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name), const_cast<LPOLESTR>(L"status")};
        DISPID ids[] = {777, 778};
        EXPECT_HR(DISP_E_UNKNOWNNAME, d->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, ids));
        EXPECT_HR(DISP_E_UNKNOWNNAME, d->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids));
        EXPECT_EQ(777, ids[0]);
        EXPECT_EQ(778, ids[1]);
    }
    EXPECT_HR(DISP_E_UNKNOWNNAME, d->GetIDsOfNames(IID_NULL, nullptr, 0, 0, nullptr));

    // No arguments: no member, and the result is emptied.
    for (DISPID id : {DISPID{0}, DISPID{6}, DISPID{DISPID_VALUE}, DISPID{-12345}}) {
        Invocation call;
        V_VT(call.value.get()) = VT_I4;
        V_I4(call.value.get()) = 42;
        invoke(d, id, {}, call);
        EXPECT_HR(DISP_E_MEMBERNOTFOUND, call.result);
        EXPECT_EQ(VT_EMPTY, call.value.type());
    }
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_HR(DISP_E_MEMBERNOTFOUND, d->Invoke(6, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr));

    // One argument: the count is wrong, and the result is left alone.
    {
        Invocation call;
        V_VT(call.value.get()) = VT_I4;
        V_I4(call.value.get()) = 42;
        invoke(d, 6, {Variant::i4(1)}, call);
        EXPECT_HR(DISP_E_BADPARAMCOUNT, call.result);
        ASSERT_EQ(VT_I4, call.value.type());
        EXPECT_EQ(42, V_I4(call.value.get()));
    }
    // No parameters at all.
    {
        VARIANT result;
        VariantInit(&result);
        V_VT(&result) = VT_I4;
        EXPECT_HR(DISP_E_BADVARTYPE, d->Invoke(6, IID_NULL, 0, DISPATCH_METHOD, nullptr, &result, nullptr, nullptr));
        EXPECT_EQ(VT_I4, V_VT(&result));
    }
    EXPECT_EQ(0u, dispatch.release()->Release());
}

// A copy of the module at a path of exactly `length` units, loaded beside the
// registered one; removed again at the end of the scope.
class ModuleCopy {
public:
    explicit ModuleCopy(std::size_t length) {
        wchar_t temporary[MAX_PATH];
        GetTempPathW(MAX_PATH, temporary);
        std::wstring folder = std::wstring(temporary) + L"tyvarion-long-path";
        root_ = folder;
        const std::wstring file = L"\\TyvarionNBS-copy.dll";
        // Folders of up to 100 units, none left with room for only its separator.
        while (folder.size() + file.size() < length) {
            const std::size_t room = length - file.size() - folder.size() - 1;
            std::size_t name = std::min<std::size_t>(room, 100);
            if (room - name == 1) --name;
            folder += L"\\" + std::wstring(name, L'd');
        }
        path_ = folder + file;
        EXPECT_EQ(length, path_.size());
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        EXPECT_FALSE(error) << error.message();
        std::filesystem::copy_file(modulePath(), path_, std::filesystem::copy_options::overwrite_existing, error);
        EXPECT_FALSE(error) << error.message();
        module_ = LoadLibraryW(path_.c_str());
        EXPECT_NE(nullptr, module_) << "error " << ::GetLastError();
    }
    ~ModuleCopy() {
        if (module_ != nullptr) FreeLibrary(module_);
        std::error_code error;
        std::filesystem::remove_all(root_, error);
    }
    ModuleCopy(const ModuleCopy&) = delete;
    ModuleCopy& operator=(const ModuleCopy&) = delete;

    // A new object of the copy, through its own class object.
    com_ptr<IDispatch> createObject() const {
        com_ptr<IDispatch> dispatch;
        if (module_ == nullptr) return dispatch;
        auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
            reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
        com_ptr<IClassFactory> factory;
        EXPECT_HR(S_OK, getClassObject(kClsidTyvarion, IID_PPV_ARGS(factory.put())));
        if (factory) {
            EXPECT_HR(S_OK, factory.get()->CreateInstance(nullptr, IID_PPV_ARGS(dispatch.put())));
        }
        return dispatch;
    }

private:
    std::wstring root_;
    std::wstring path_;
    HMODULE module_ = nullptr;
};

TEST(TyvarionDispatch, NeedsAModulePathShorterThanMaxPath) {
    Apartment apartment;
    {
        // 259 units and the terminating null fill the buffer exactly: still readable.
        ModuleCopy copy(MAX_PATH - 1);
        com_ptr<IDispatch> dispatch = copy.createObject();
        ASSERT_TRUE(dispatch);
        UINT count = 7;
        EXPECT_HR(S_OK, dispatch.get()->GetTypeInfoCount(&count));
        EXPECT_EQ(1u, count);
        com_ptr<ITypeInfo> typeInfo;
        EXPECT_HR(S_OK, dispatch.get()->GetTypeInfo(0, 0, typeInfo.put()));
        EXPECT_TRUE(typeInfo);
        typeInfo.reset();
        EXPECT_EQ(0u, dispatch.release()->Release());
    }
    {
        // 260 units do not fit: no type information, and no truncated path tried.
        ModuleCopy copy(MAX_PATH);
        com_ptr<IDispatch> dispatch = copy.createObject();
        ASSERT_TRUE(dispatch);
        UINT count = 7;
        EXPECT_HR(S_OK, dispatch.get()->GetTypeInfoCount(&count));
        EXPECT_EQ(0u, count);
        ITypeInfo* typeInfo = reinterpret_cast<ITypeInfo*>(&count);
        EXPECT_HR(E_FAIL, dispatch.get()->GetTypeInfo(0, 0, &typeInfo));
        EXPECT_EQ(nullptr, typeInfo);
        EXPECT_EQ(0u, dispatch.release()->Release());
    }
}

TEST(ClassInfo, DescribesTheClassFromTheRegisteredLibrary) {
    Apartment apartment;
    com_ptr<IProvideClassInfo> provider;
    ASSERT_HR(S_OK, CoCreateInstance(kClsidTyvarion, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(provider.put())));
    EXPECT_HR(E_POINTER, provider.get()->GetClassInfo(nullptr));

    com_ptr<ITypeInfo> classInfo;
    ASSERT_HR(S_OK, provider.get()->GetClassInfo(classInfo.put()));
    ASSERT_TRUE(classInfo);
    const Described described = describe(classInfo.get());
    EXPECT_EQ(TKIND_COCLASS, described.kind);
    EXPECT_EQ("{8CF18E82-1812-4650-9392-40B24301D2F1}", described.guid);
    EXPECT_EQ("{3361AC55-446C-45A1-8F65-BBDD0342F7FB}", described.library);
    // Its default interface is the member-less ITyvarion.
    HREFTYPE reference = 0;
    com_ptr<ITypeInfo> implemented;
    ASSERT_HR(S_OK, classInfo.get()->GetRefTypeOfImplType(1, &reference));
    ASSERT_HR(S_OK, classInfo.get()->GetRefTypeInfo(reference, implemented.put()));
    EXPECT_EQ("ITyvarion", memberName(implemented.get(), MEMBERID_NIL));

    // Kept for the process: the next object hands out the same.
    com_ptr<IProvideClassInfo> other;
    ASSERT_HR(S_OK, CoCreateInstance(kClsidTyvarion, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(other.put())));
    com_ptr<ITypeInfo> again;
    ASSERT_HR(S_OK, other.get()->GetClassInfo(again.put()));
    EXPECT_EQ(static_cast<void*>(classInfo.get()), static_cast<void*>(again.get()));

    // Why the load needs the library's own locale under Wine: asked for the
    // neutral locale, Wine finds no library registered under 0x0409.
    com_ptr<ITypeLib> library;
    EXPECT_HR(TYPE_E_LIBNOTREGISTERED, LoadRegTypeLib(kLibid, 1, 0, LOCALE_NEUTRAL, library.put()));
    EXPECT_HR(S_OK, LoadRegTypeLib(kLibid, 1, 0, 0x0409, library.put()));

    EXPECT_EQ(0u, other.release()->Release());
    EXPECT_EQ(0u, provider.release()->Release());
}

}  // namespace
}  // namespace com_testing

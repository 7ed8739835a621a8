// IDispatch through the IEyeTracker2 pointer, with the stand-in host library
// registered: names from the cache and from the type information, the type
// information itself, and late-bound calls that reach the object's methods
// through Wine's ITypeInfo::Invoke.
#include "late_bound.h"

#include <ocidl.h>

#include "eyetracker2_template.h"
#include "module/module_ids.h"
#include "platform/clock.h"

namespace com_testing {
namespace {

using tyvarion::module::kClsidTyvarion;
using tyvarion::module::kHostLibid;
using tyvarion::module::kIidEyeTracker2;
using tyvarion::module::kLibid;

class DispatchEnvironment : public testing::Environment {
public:
    void SetUp() override {
        useNoServer();
        registerModule();
        registerHostLibrary();
    }
    // The host library shares the interface keys with the module's library;
    // the registration tests expect a machine without it.
    void TearDown() override { unregisterHostLibrary(); }
};
const auto* const environment = testing::AddGlobalTestEnvironment(new DispatchEnvironment);

// The IEyeTracker2 pointer of a new object (not connected: useNoServer), as IDispatch.
com_ptr<IDispatch> createTrackerDispatch() {
    com_ptr<IEyeTracker2> tracker;
    EXPECT_HR(S_OK, CoCreateInstance(kClsidTyvarion, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_PPV_ARGS(tracker.put())));
    return com_ptr<IDispatch>(tracker.release());
}

HRESULT namesToIds(IDispatch* dispatch, std::vector<const wchar_t*> names, std::vector<DISPID>& ids,
                   REFIID iid = IID_NULL) {
    ids.assign(names.size(), 777);
    return dispatch->GetIDsOfNames(iid, const_cast<LPOLESTR*>(names.data()), static_cast<UINT>(names.size()),
                                   LOCALE_USER_DEFAULT, ids.data());
}

GUID containingLibrary(ITypeInfo* typeInfo) {
    com_ptr<ITypeLib> library;
    UINT index = 0;
    EXPECT_HR(S_OK, typeInfo->GetContainingTypeLib(library.put(), &index));
    if (!library) return GUID_NULL;
    TLIBATTR* attributes = nullptr;
    EXPECT_HR(S_OK, library.get()->GetLibAttr(&attributes));
    const GUID guid = attributes->guid;
    library.get()->ReleaseTLibAttr(attributes);
    return guid;
}

TEST(EyeTracker2Dispatch, NamesComeFromTheCacheOrTheTypeInformation) {
    Apartment apartment;
    com_ptr<IDispatch> dispatch = createTrackerDispatch();
    ASSERT_TRUE(dispatch);
    IDispatch* d = dispatch.get();
    std::vector<DISPID> ids;

    // Exact case: the cache. Other cases: the type information, which ignores case.
    EXPECT_HR(S_OK, namesToIds(d, {L"GetStatus"}, ids));
    EXPECT_EQ(std::vector<DISPID>{6}, ids);
    EXPECT_HR(S_OK, namesToIds(d, {L"getstatus"}, ids));
    EXPECT_EQ(std::vector<DISPID>{6}, ids);
    EXPECT_HR(S_OK, namesToIds(d, {L"GETSTATUS"}, ids, kIidEyeTracker2));
    EXPECT_EQ(std::vector<DISPID>{6}, ids);

    // Every method has the identifier of the contract.
    const wchar_t* const methods[] = {
        L"GetCaps",         L"IsMultithreaded",  L"SetDisplayMode",      L"Execute",     L"GetTime",
        L"GetStatus",       L"GetLastError",     L"GetEventCount",       L"GetEvents",   L"StartData",
        L"StopData",        L"SetTracking",      L"SetRecording",        L"Calibrate",   L"StartCalibration",
        L"GetCalibrationPoint", L"AcceptPoint",  L"StopCalibration",     L"SendTrigger", L"SendString",
        L"SendCommand",     L"SendMessage",      L"SetParameter",        L"GetParameter", L"SetAOISet"};
    for (DISPID expected = 1; expected <= 25; ++expected) {
        EXPECT_HR(S_OK, namesToIds(d, {methods[expected - 1]}, ids));
        EXPECT_EQ(std::vector<DISPID>{expected}, ids);
    }

    // Prefixes, extensions and unknown names match nothing.
    for (const wchar_t* name : {L"GetStatu", L"GetStatusX", L"", L"Tyvarion"}) {
        EXPECT_HR(DISP_E_UNKNOWNNAME, namesToIds(d, {name}, ids));
        EXPECT_EQ(std::vector<DISPID>{DISPID_UNKNOWN}, ids);
    }
    EXPECT_HR(DISP_E_UNKNOWNNAME, namesToIds(d, {nullptr}, ids));
    EXPECT_EQ(std::vector<DISPID>{DISPID_UNKNOWN}, ids);

    // A method with its parameter names: always the type information.
    EXPECT_HR(S_OK, namesToIds(d, {L"SetDisplayMode", L"height", L"width"}, ids));
    EXPECT_EQ((std::vector<DISPID>{3, 1, 0}), ids);
    EXPECT_HR(S_OK, namesToIds(d, {L"getstatus", L"status"}, ids));
    EXPECT_EQ((std::vector<DISPID>{6, 0}), ids);
    EXPECT_HR(DISP_E_UNKNOWNNAME, namesToIds(d, {L"SetDisplayMode", L"depth"}, ids));
    EXPECT_EQ((std::vector<DISPID>{3, DISPID_UNKNOWN}), ids);

    // Null arrays.
    LPOLESTR name[] = {const_cast<LPOLESTR>(L"GetStatus")};
    DISPID id = 777;
    EXPECT_HR(E_POINTER, d->GetIDsOfNames(IID_NULL, nullptr, 1, LOCALE_USER_DEFAULT, &id));
    EXPECT_HR(E_POINTER, d->GetIDsOfNames(IID_NULL, name, 1, LOCALE_USER_DEFAULT, nullptr));
    EXPECT_EQ(777, id);

    EXPECT_EQ(0u, dispatch.release()->Release());
}

TEST(EyeTracker2Dispatch, DescribesIEyeTracker2FromTheHostLibrary) {
    Apartment apartment;
    com_ptr<IDispatch> dispatch = createTrackerDispatch();
    ASSERT_TRUE(dispatch);
    IDispatch* d = dispatch.get();

    UINT count = 7;
    EXPECT_HR(S_OK, d->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    EXPECT_HR(E_POINTER, d->GetTypeInfoCount(nullptr));

    // The index is tested first.
    com_ptr<ITypeInfo> typeInfo;
    EXPECT_HR(DISP_E_BADINDEX, d->GetTypeInfo(1, LOCALE_USER_DEFAULT, typeInfo.put()));
    EXPECT_FALSE(typeInfo);
    EXPECT_HR(DISP_E_BADINDEX, d->GetTypeInfo(1, LOCALE_USER_DEFAULT, nullptr));
    EXPECT_HR(E_POINTER, d->GetTypeInfo(0, LOCALE_USER_DEFAULT, nullptr));

    ASSERT_HR(S_OK, d->GetTypeInfo(0, LOCALE_USER_DEFAULT, typeInfo.put()));
    ASSERT_TRUE(typeInfo);
    TYPEATTR* attributes = nullptr;
    ASSERT_HR(S_OK, typeInfo.get()->GetTypeAttr(&attributes));
    EXPECT_TRUE(IsEqualGUID(kIidEyeTracker2, attributes->guid));
    EXPECT_EQ(TKIND_DISPATCH, attributes->typekind);
    EXPECT_EQ(32u, attributes->cFuncs) << "IUnknown, IDispatch and the contract's 25";
    typeInfo.get()->ReleaseTypeAttr(attributes);
    // From the host's library, not from the module's copy of the contract.
    EXPECT_TRUE(IsEqualGUID(kHostLibid, containingLibrary(typeInfo.get())));
    com_ptr<ITypeInfo2> typeInfo2;
    EXPECT_HR(S_OK, typeInfo.get()->QueryInterface(IID_PPV_ARGS(typeInfo2.put())));

    // Loaded once per process: the next object gets the same type information.
    com_ptr<IDispatch> other = createTrackerDispatch();
    com_ptr<ITypeInfo> again;
    ASSERT_HR(S_OK, other.get()->GetTypeInfo(0, 0x0407, again.put()));
    EXPECT_EQ(static_cast<void*>(typeInfo.get()), static_cast<void*>(again.get()));

    EXPECT_EQ(0u, other.release()->Release());
    EXPECT_EQ(0u, dispatch.release()->Release());
}

TEST(EyeTracker2Dispatch, ObjectsIDispatchIsTheMemberlessOne) {
    Apartment apartment;
    com_ptr<IDispatch> tracker = createTrackerDispatch();
    ASSERT_TRUE(tracker);
    com_ptr<IDispatch> dispatch;
    ASSERT_HR(S_OK, tracker.get()->QueryInterface(IID_PPV_ARGS(dispatch.put())));
    EXPECT_NE(static_cast<void*>(tracker.get()), static_cast<void*>(dispatch.get()));

    std::vector<DISPID> ids;
    EXPECT_HR(DISP_E_UNKNOWNNAME, namesToIds(dispatch.get(), {L"GetStatus"}, ids));
    EXPECT_EQ(std::vector<DISPID>{777}, ids);
    EXPECT_HR(S_OK, namesToIds(tracker.get(), {L"GetStatus"}, ids));
    EXPECT_EQ(std::vector<DISPID>{6}, ids);

    dispatch.reset();
    EXPECT_EQ(0u, tracker.release()->Release());
}

TEST(EyeTracker2Dispatch, LateBoundCallsReachTheMethods) {
    Apartment apartment;
    com_ptr<IDispatch> dispatch = createTrackerDispatch();
    ASSERT_TRUE(dispatch);
    IDispatch* d = dispatch.get();

    {
        Invocation call;
        invoke(d, L"GetCaps", {}, call);
        EXPECT_HR(S_OK, call.result);
        ASSERT_EQ(VT_I4, call.value.type());
        EXPECT_EQ(67, V_I4(call.value.get()));
    }
    {
        Invocation call;
        invoke(d, L"GetStatus", {}, call);
        EXPECT_HR(S_OK, call.result);
        ASSERT_EQ(VT_I4, call.value.type());
        EXPECT_EQ(0x40, V_I4(call.value.get()));
    }
    {
        Invocation call;
        invoke(d, L"IsMultithreaded", {}, call);
        EXPECT_HR(S_OK, call.result);
        ASSERT_EQ(VT_BOOL, call.value.type());
        EXPECT_EQ(1, V_BOOL(call.value.get()));
    }
    {
        const std::int64_t before =
            tyvarion::platform::fileTimeToUnixMicroseconds(tyvarion::platform::systemFileTime());
        Invocation call;
        invoke(d, L"GetTime", {}, call);
        EXPECT_HR(S_OK, call.result);
        ASSERT_EQ(VT_UI8, call.value.type());
        EXPECT_LE(static_cast<ULONGLONG>(before), V_UI8(call.value.get()));
    }
    {
        Invocation call;
        invoke(d, L"SetDisplayMode", {Variant::i4(800), Variant::i4(600)}, call);
        EXPECT_HR(S_OK, call.result);
        EXPECT_EQ(VT_EMPTY, call.value.type());
    }
    for (VARIANT_BOOL on : {VARIANT_TRUE, VARIANT_FALSE}) {
        Invocation call;
        invoke(d, L"SetTracking", {Variant::boolean(on)}, call);
        EXPECT_HR(S_OK, call.result);
        EXPECT_EQ("not connected to the Tyvarion server", bstrText(call.value));
    }
    {
        Invocation call;
        invoke(d, L"GetLastError", {}, call);
        EXPECT_HR(S_OK, call.result);
        EXPECT_EQ("", bstrText(call.value));
    }
    {
        // The method answers S_FALSE; Invoke reports success.
        Invocation call;
        invoke(d, L"StartData", {Variant::i4(ET2_DT_PUPIL), Variant::i4(ET2_ET_LEFT)}, call);
        EXPECT_HR(S_OK, call.result);
        EXPECT_EQ("not connected to Tyvarion server", bstrText(call.value));
    }
    {
        Invocation call;
        invoke(d, L"GetLastError", {}, call);
        EXPECT_HR(S_OK, call.result);
        EXPECT_EQ("not connected to Tyvarion server", bstrText(call.value));
    }
    {
        Invocation call;
        invoke(d, L"SendTrigger", {Variant::i4(-17)}, call);
        EXPECT_HR(S_OK, call.result);
        EXPECT_EQ(VT_EMPTY, call.value.type());
    }
    {
        Invocation call;
        invoke(d, L"Execute", {}, call);
        EXPECT_HR(S_OK, call.result);
    }
    {
        Invocation call;
        invoke(d, L"GetEventCount", {}, call);
        EXPECT_HR(S_OK, call.result);
        ASSERT_EQ(VT_I4, call.value.type());
        EXPECT_EQ(0, V_I4(call.value.get()));
    }
    {
        Invocation call;
        invoke(d, L"Calibrate",
               {Variant::i4(ET2_CT_DRIFT_CORRECT), Variant::unknown(nullptr), Variant::r8(1), Variant::r8(2),
                Variant::r8(3)},
               call);
        EXPECT_HR(S_OK, call.result);
        EXPECT_EQ("not connected to Tyvarion server", bstrText(call.value));
    }
    {
        Invocation call;
        invoke(d, L"SetAOISet", {Variant::i4(1)}, call);
        EXPECT_HR(DISP_E_EXCEPTION, call.result);
        EXPECT_HR(E_NOTIMPL, call.exception.scode);
    }

    EXPECT_EQ(0u, dispatch.release()->Release());
}

TEST(EyeTracker2Dispatch, WhatWinesInvokeCannotMarshal) {
    Apartment apartment;
    com_ptr<IDispatch> dispatch = createTrackerDispatch();
    ASSERT_TRUE(dispatch);
    IDispatch* d = dispatch.get();

    // An LPWSTR parameter: Wine refuses the argument as a VT_BSTR and as a
    // VT_LPWSTR alike, with DISP_E_BADVARTYPE (0x80020008), and the method is not called.
    wchar_t text[] = L"hello";
    for (const wchar_t* method : {L"SendString", L"SendMessage", L"GetParameter", L"SendCommand"}) {
        for (bool asBstr : {true, false}) {
            Invocation call;
            invoke(d, method, {asBstr ? Variant::bstr(text) : Variant::lpwstr(text)}, call);
            EXPECT_HR(DISP_E_BADVARTYPE, call.result) << tyvarion::utf16ToUtf8(method, wcslen(method));
            EXPECT_EQ(VT_EMPTY, call.value.type());
        }
    }
    // The record array of GetEvents: E_NOTIMPL from Wine itself.
    {
        Invocation call;
        invoke(d, L"GetEvents", {Variant::i4(10), Variant::i4(0)}, call);
        EXPECT_HR(E_NOTIMPL, call.result);
    }

    EXPECT_EQ(0u, dispatch.release()->Release());
}

TEST(EyeTracker2Dispatch, InvokeRefusesWhatDoesNotFit) {
    Apartment apartment;
    com_ptr<IDispatch> dispatch = createTrackerDispatch();
    ASSERT_TRUE(dispatch);
    IDispatch* d = dispatch.get();
    {
        Invocation call;
        invoke(d, 99, {}, call);
        EXPECT_HR(DISP_E_MEMBERNOTFOUND, call.result);
    }
    {
        Invocation call;
        invoke(d, 1, {Variant::i4(1)}, call);
        EXPECT_HR(DISP_E_BADPARAMCOUNT, call.result);
    }
    {
        Invocation call;
        invoke(d, 3, {Variant::i4(1)}, call);
        EXPECT_HR(DISP_E_BADPARAMCOUNT, call.result);
    }
    // No parameters at all: Wine's answer, passed through.
    EXPECT_HR(E_INVALIDARG, d->Invoke(6, IID_NULL, 0, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(0u, dispatch.release()->Release());
}

}  // namespace
}  // namespace com_testing

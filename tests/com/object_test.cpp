// The Tyvarion object through the real COM runtime: creation by ProgID, calls
// through the vtable, the interface table, aggregation, the class object and
// when the module may be unloaded.
#include "com_test_support.h"

#include <ocidl.h>

#include "eyetracker2_template.h"
#include "module/com_class.h"
#include "module/module_ids.h"
#include "platform/clock.h"

namespace com_testing {
namespace {

using tyvarion::module::kClsidTyvarion;

class ObjectEnvironment : public testing::Environment {
public:
    void SetUp() override {
        useNoServer();
        registerModule();
    }
};
const auto* const environment = testing::AddGlobalTestEnvironment(new ObjectEnvironment);

// Objects start not connected here (useNoServer).
com_ptr<IEyeTracker2> createByProgId(const wchar_t* progId) {
    CLSID clsid{};
    EXPECT_HR(S_OK, CLSIDFromProgID(progId, &clsid));
    EXPECT_TRUE(IsEqualCLSID(kClsidTyvarion, clsid));
    com_ptr<IEyeTracker2> tracker;
    EXPECT_HR(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(tracker.put())));
    return tracker;
}

// The count after AddRef and Release, which both return it.
ULONG referenceCount(IUnknown* unknown) {
    unknown->AddRef();
    return unknown->Release();
}

TEST(Object, CreatedByProgIdAnswersThroughTheVtable) {
    Apartment apartment;
    for (const wchar_t* progId : {L"eyetracker2.Tyvarion", L"eyetracker2.Tyvarion.1"}) {
        com_ptr<IEyeTracker2> tracker = createByProgId(progId);
        ASSERT_TRUE(tracker);
        IEyeTracker2* t = tracker.get();

        LONG caps = 0;
        EXPECT_HR(S_OK, t->GetCaps(&caps));
        EXPECT_EQ(0x43, caps);
        VARIANT_BOOL multiThreaded = 0;
        EXPECT_HR(S_OK, t->IsMultithreaded(&multiThreaded));
        EXPECT_EQ(1, multiThreaded);
        LONG status = 0;
        EXPECT_HR(S_OK, t->GetStatus(&status));
        EXPECT_EQ(0x40, status);
        unique_bstr message;
        EXPECT_HR(S_OK, t->GetLastError(message.put()));
        EXPECT_EQ("", text(message));

        EXPECT_HR(S_FALSE, t->StartData(ET2_DT_POSITION, ET2_ET_LEFT, message.put()));
        EXPECT_EQ("not connected to Tyvarion server", text(message));
        EXPECT_HR(S_OK, t->SetTracking(VARIANT_TRUE, message.put()));
        EXPECT_EQ("not connected to the Tyvarion server", text(message));
        EXPECT_HR(S_FALSE, t->Calibrate(ET2_CT_DRIFT_CORRECT, nullptr, 1.0, 2.0, 3.0, message.put()));
        EXPECT_EQ("not connected to Tyvarion server", text(message));
        EXPECT_HR(S_OK, t->GetLastError(message.put()));
        EXPECT_EQ("not connected to Tyvarion server", text(message));
        EXPECT_HR(S_OK, t->SendMessage(const_cast<LPWSTR>(L"hello"), message.put()));
        EXPECT_EQ("IEyeTracker2::SendMessage is not implemented", text(message));
        LONG commandResult = 0;
        EXPECT_HR(E_NOTIMPL, t->SendCommand(const_cast<LPWSTR>(L"cmd"), &commandResult));

        LONG count = -1;
        EXPECT_HR(S_OK, t->GetEventCount(&count));
        EXPECT_EQ(0, count);
        EXPECT_HR(S_OK, t->SendTrigger(5));
        EXPECT_HR(S_OK, t->Execute());

        // The module reads the same system clock as this program's core.
        const std::int64_t before =
            tyvarion::platform::fileTimeToUnixMicroseconds(tyvarion::platform::systemFileTime());
        ULONGLONG now = 0;
        EXPECT_HR(S_OK, t->GetTime(&now));
        EXPECT_LE(static_cast<ULONGLONG>(before), now);

        EXPECT_EQ(0u, tracker.release()->Release());
    }
    EXPECT_HR(S_OK, moduleCanUnloadNow());
}

TEST(Object, AnswersItsInterfaceTable) {
    Apartment apartment;
    com_ptr<IUnknown> object;
    ASSERT_HR(S_OK, CoCreateInstance(kClsidTyvarion, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(object.put())));
    EXPECT_EQ(1u, referenceCount(object.get()));

    com_ptr<IUnknown> unknown;
    com_ptr<ITyvarion> tyvarion;
    com_ptr<IDispatch> dispatch;
    com_ptr<IEyeTracker2> tracker;
    com_ptr<IProvideClassInfo> classInfo;
    ASSERT_HR(S_OK, object.get()->QueryInterface(IID_PPV_ARGS(unknown.put())));
    ASSERT_HR(S_OK, object.get()->QueryInterface(IID_PPV_ARGS(tyvarion.put())));
    ASSERT_HR(S_OK, object.get()->QueryInterface(IID_PPV_ARGS(dispatch.put())));
    ASSERT_HR(S_OK, object.get()->QueryInterface(IID_PPV_ARGS(tracker.put())));
    ASSERT_HR(S_OK, object.get()->QueryInterface(IID_PPV_ARGS(classInfo.put())));
    EXPECT_EQ(6u, referenceCount(object.get()));

    // IUnknown and IDispatch are the ITyvarion pointer; the other two are their own.
    EXPECT_EQ(static_cast<void*>(object.get()), static_cast<void*>(unknown.get()));
    EXPECT_EQ(static_cast<void*>(unknown.get()), static_cast<void*>(tyvarion.get()));
    EXPECT_EQ(static_cast<void*>(unknown.get()), static_cast<void*>(dispatch.get()));
    EXPECT_NE(static_cast<void*>(unknown.get()), static_cast<void*>(tracker.get()));
    EXPECT_NE(static_cast<void*>(unknown.get()), static_cast<void*>(classInfo.get()));
    EXPECT_NE(static_cast<void*>(tracker.get()), static_cast<void*>(classInfo.get()));

    // Every interface leads back to the same identity.
    for (IUnknown* through : {static_cast<IUnknown*>(tracker.get()), static_cast<IUnknown*>(classInfo.get())}) {
        com_ptr<IUnknown> identity;
        EXPECT_HR(S_OK, through->QueryInterface(IID_PPV_ARGS(identity.put())));
        EXPECT_EQ(static_cast<void*>(unknown.get()), static_cast<void*>(identity.get()));
    }

    // Anything else: E_NOINTERFACE and a null result; a null out-pointer: E_POINTER.
    for (REFIID other : {IID_IPersist, IID_IClassFactory, IID_IProvideClassInfo2, IID_IMarshal}) {
        void* result = &apartment;
        EXPECT_HR(E_NOINTERFACE, tracker.get()->QueryInterface(other, &result));
        EXPECT_EQ(nullptr, result);
    }
    EXPECT_HR(E_POINTER, tracker.get()->QueryInterface(IID_IUnknown, nullptr));

    EXPECT_EQ(6u, referenceCount(object.get()));
    unknown.reset();
    tyvarion.reset();
    dispatch.reset();
    tracker.reset();
    classInfo.reset();
    EXPECT_HR(S_FALSE, moduleCanUnloadNow());
    EXPECT_EQ(0u, object.release()->Release());
    EXPECT_HR(S_OK, moduleCanUnloadNow());
}

TYVARION_BEGIN_COM_CLASSES

// A controlling unknown that keeps its inner object and passes IEyeTracker2 to it.
class OuterObject final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** result) override {
        if (result == nullptr) return E_POINTER;
        ++queries;
        lastQueried = iid;
        if (IsEqualIID(iid, IID_IUnknown)) {
            *result = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        if (IsEqualIID(iid, __uuidof(IEyeTracker2)) && inner) return inner.get()->QueryInterface(iid, result);
        *result = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    LONG references = 1;
    int queries = 0;
    IID lastQueried = IID_NULL;
    com_ptr<IUnknown> inner;
};

TYVARION_END_COM_CLASSES

TEST(Object, AggregatesUnderAnOuterUnknown) {
    Apartment apartment;
    OuterObject outer;

    // Aggregation asks for IUnknown and nothing else.
    com_ptr<ITyvarion> refused;
    EXPECT_HR(CLASS_E_NOAGGREGATION, CoCreateInstance(kClsidTyvarion, &outer, CLSCTX_INPROC_SERVER,
                                                      IID_PPV_ARGS(refused.put())));
    EXPECT_FALSE(refused);
    EXPECT_HR(S_OK, moduleCanUnloadNow());

    ASSERT_HR(S_OK, CoCreateInstance(kClsidTyvarion, &outer, CLSCTX_INPROC_SERVER,
                                     IID_PPV_ARGS(outer.inner.put())));
    IUnknown* inner = outer.inner.get();
    EXPECT_EQ(1, outer.references);
    EXPECT_HR(S_FALSE, moduleCanUnloadNow());

    // The inner unknown answers IUnknown with itself, counting on its own.
    com_ptr<IUnknown> innerAgain;
    EXPECT_HR(S_OK, inner->QueryInterface(IID_PPV_ARGS(innerAgain.put())));
    EXPECT_EQ(static_cast<void*>(inner), static_cast<void*>(innerAgain.get()));
    EXPECT_EQ(1, outer.references);
    innerAgain.reset();
    EXPECT_EQ(0, outer.queries);

    // Its other interfaces count on the outer unknown and ask it.
    com_ptr<IEyeTracker2> tracker;
    ASSERT_HR(S_OK, inner->QueryInterface(IID_PPV_ARGS(tracker.put())));
    EXPECT_EQ(2, outer.references);
    EXPECT_EQ(3u, tracker.get()->AddRef());
    EXPECT_EQ(2u, tracker.get()->Release());

    com_ptr<IPersist> persist;
    EXPECT_HR(E_NOINTERFACE, tracker.get()->QueryInterface(IID_PPV_ARGS(persist.put())));
    EXPECT_EQ(1, outer.queries);
    EXPECT_TRUE(IsEqualIID(IID_IPersist, outer.lastQueried));
    com_ptr<IUnknown> identity;
    EXPECT_HR(S_OK, tracker.get()->QueryInterface(IID_PPV_ARGS(identity.put())));
    EXPECT_EQ(static_cast<void*>(&outer), static_cast<void*>(identity.get()));
    identity.reset();
    // Through the outer unknown to the inner object and back.
    com_ptr<IEyeTracker2> viaOuter;
    EXPECT_HR(S_OK, outer.QueryInterface(IID_PPV_ARGS(viaOuter.put())));
    EXPECT_EQ(static_cast<void*>(tracker.get()), static_cast<void*>(viaOuter.get()));
    viaOuter.reset();

    LONG caps = 0;
    EXPECT_HR(S_OK, tracker.get()->GetCaps(&caps));
    EXPECT_EQ(0x43, caps);

    tracker.reset();
    EXPECT_EQ(1, outer.references);
    EXPECT_EQ(0u, outer.inner.release()->Release());
    EXPECT_HR(S_OK, moduleCanUnloadNow());
}

TEST(Object, ClassObjectIsCachedAndKeepsTheModuleOnlyWhenHeld) {
    Apartment apartment;
    com_ptr<IClassFactory> first;
    com_ptr<IClassFactory> second;
    ASSERT_HR(S_OK, CoGetClassObject(kClsidTyvarion, CLSCTX_INPROC_SERVER, nullptr,
                                     IID_PPV_ARGS(first.put())));
    ASSERT_HR(S_OK, CoGetClassObject(kClsidTyvarion, CLSCTX_INPROC_SERVER, nullptr,
                                     IID_PPV_ARGS(second.put())));
    EXPECT_EQ(static_cast<void*>(first.get()), static_cast<void*>(second.get()));

    // The module's own export gives the same object, and the usual failures.
    com_ptr<IUnknown> direct;
    EXPECT_HR(S_OK, moduleGetClassObject(kClsidTyvarion, IID_PPV_ARGS(direct.put())));
    EXPECT_EQ(static_cast<void*>(first.get()), static_cast<void*>(direct.get()));
    direct.reset();
    void* result = &apartment;
    EXPECT_HR(CLASS_E_CLASSNOTAVAILABLE, moduleGetClassObject(IID_IPersist, IID_IClassFactory, &result));
    EXPECT_EQ(nullptr, result);
    EXPECT_HR(E_POINTER, moduleGetClassObject(kClsidTyvarion, IID_IClassFactory, nullptr));
    result = &apartment;
    EXPECT_HR(E_NOINTERFACE, moduleGetClassObject(kClsidTyvarion, IID_IPersist, &result));
    EXPECT_EQ(nullptr, result);

    // CreateInstance's own failures leave nothing behind.
    EXPECT_HR(E_POINTER, first.get()->CreateInstance(nullptr, __uuidof(IEyeTracker2), nullptr));
    result = &apartment;
    EXPECT_HR(E_NOINTERFACE, first.get()->CreateInstance(nullptr, IID_IPersist, &result));
    EXPECT_EQ(nullptr, result);

    // Held by a client, the class object keeps the module loaded; the cache alone does not.
    EXPECT_HR(S_FALSE, moduleCanUnloadNow());
    second.reset();
    EXPECT_HR(S_FALSE, moduleCanUnloadNow());
    IClassFactory* factory = first.release();
    EXPECT_EQ(1u, factory->Release());  // the cache's reference remains
    EXPECT_HR(S_OK, moduleCanUnloadNow());

    // LockServer, counted.
    ASSERT_HR(S_OK, CoGetClassObject(kClsidTyvarion, CLSCTX_INPROC_SERVER, nullptr,
                                     IID_PPV_ARGS(first.put())));
    EXPECT_HR(S_OK, first.get()->LockServer(TRUE));
    EXPECT_HR(S_OK, first.get()->LockServer(TRUE));
    first.reset();
    EXPECT_HR(S_FALSE, moduleCanUnloadNow());
    ASSERT_HR(S_OK, CoGetClassObject(kClsidTyvarion, CLSCTX_INPROC_SERVER, nullptr,
                                     IID_PPV_ARGS(first.put())));
    EXPECT_HR(S_OK, first.get()->LockServer(FALSE));
    EXPECT_HR(S_OK, first.get()->LockServer(FALSE));
    first.reset();
    EXPECT_HR(S_OK, moduleCanUnloadNow());

    // A live object keeps the module loaded, until its last release.
    com_ptr<IEyeTracker2> tracker;
    ASSERT_HR(S_OK, CoCreateInstance(kClsidTyvarion, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(tracker.put())));
    EXPECT_HR(S_FALSE, moduleCanUnloadNow());
    EXPECT_EQ(0u, tracker.release()->Release());
    EXPECT_HR(S_OK, moduleCanUnloadNow());

    // COM may now unload it (Wine does at once), and loads it afresh on the next request.
    ASSERT_NE(nullptr, loadedModule());
    CoFreeUnusedLibraries();
    EXPECT_EQ(nullptr, loadedModule());
    ASSERT_HR(S_OK, CoCreateInstance(kClsidTyvarion, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(tracker.put())));
    EXPECT_NE(nullptr, loadedModule());
    EXPECT_EQ(0u, tracker.release()->Release());
}

}  // namespace
}  // namespace com_testing

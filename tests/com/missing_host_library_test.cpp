// Late binding while the host's type library is not registered, and after it
// is registered while the process runs. A program of its own: the type
// information is loaded once per process, so it must start without it.
#include "late_bound.h"

#include <ocidl.h>

#include "eyetracker2_template.h"
#include "module/module_ids.h"

namespace com_testing {
namespace {

using tyvarion::module::kClsidTyvarion;

class MissingHostLibraryEnvironment : public testing::Environment {
public:
    void SetUp() override {
        useNoServer();
        registerModule();
        unregisterHostLibrary();
    }
    void TearDown() override { unregisterHostLibrary(); }
};
const auto* const environment = testing::AddGlobalTestEnvironment(new MissingHostLibraryEnvironment);

TEST(MissingHostLibrary, LateBindingFailsUntilTheLibraryIsRegistered) {
    Apartment apartment;
    com_ptr<IEyeTracker2> tracker;
    ASSERT_HR(S_OK, CoCreateInstance(kClsidTyvarion, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(tracker.put())));
    IEyeTracker2* t = tracker.get();

    // Without the host's library: one piece of type information is still
    // promised, but none can be had, named or called.
    UINT count = 7;
    EXPECT_HR(S_OK, t->GetTypeInfoCount(&count));
    EXPECT_EQ(1u, count);
    for (int attempt = 0; attempt < 2; ++attempt) {
        com_ptr<ITypeInfo> typeInfo;
        EXPECT_HR(TYPE_E_LIBNOTREGISTERED, t->GetTypeInfo(0, LOCALE_USER_DEFAULT, typeInfo.put()));
        EXPECT_FALSE(typeInfo);
        LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetStatus")};
        DISPID id = 777;
        EXPECT_HR(TYPE_E_LIBNOTREGISTERED, t->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id));
        EXPECT_EQ(777, id);
        Invocation call;
        V_VT(call.value.get()) = VT_I4;
        V_I4(call.value.get()) = 42;
        invoke(t, 6, {}, call);
        EXPECT_HR(TYPE_E_LIBNOTREGISTERED, call.result);
        EXPECT_EQ(VT_I4, call.value.type());
    }
    // The early-bound path and the module's own descriptions do not need it.
    LONG status = 0;
    EXPECT_HR(S_OK, t->GetStatus(&status));
    EXPECT_EQ(0x40, status);
    com_ptr<IProvideClassInfo> provider;
    ASSERT_HR(S_OK, t->QueryInterface(IID_PPV_ARGS(provider.put())));
    com_ptr<ITypeInfo> classInfo;
    EXPECT_HR(S_OK, provider.get()->GetClassInfo(classInfo.put()));
    com_ptr<IDispatch> dispatch;
    ASSERT_HR(S_OK, t->QueryInterface(IID_PPV_ARGS(dispatch.put())));
    com_ptr<ITypeInfo> tyvarionInfo;
    EXPECT_HR(S_OK, dispatch.get()->GetTypeInfo(0, LOCALE_USER_DEFAULT, tyvarionInfo.put()));

    // The host's installer registers its library (in another process); the
    // next call loads it, with no restart.
    registerHostLibrary();
    com_ptr<ITypeInfo> typeInfo;
    EXPECT_HR(S_OK, t->GetTypeInfo(0, LOCALE_USER_DEFAULT, typeInfo.put()));
    EXPECT_TRUE(typeInfo);
    EXPECT_EQ(6, dispatchId(t, L"GetStatus"));
    Invocation call;
    invoke(t, L"GetStatus", {}, call);
    EXPECT_HR(S_OK, call.result);
    ASSERT_EQ(VT_I4, call.value.type());
    EXPECT_EQ(0x40, V_I4(call.value.get()));

    // Loaded for good: unregistering it does not take it from this process.
    unregisterHostLibrary();
    EXPECT_EQ(10, dispatchId(t, L"StartData"));

    provider.reset();
    dispatch.reset();
    EXPECT_EQ(0u, tracker.release()->Release());
}

}  // namespace
}  // namespace com_testing

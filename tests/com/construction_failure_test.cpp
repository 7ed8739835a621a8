// Object creation whose construction throws, in the test-only variant of the
// module: E_OUTOFMEMORY, and nothing stays allocated or locked.
#include "com_test_support.h"

#include <malloc.h>

#include <latch>
#include <thread>
#include <vector>

#include "eyetracker2_template.h"
#include "module/module_ids.h"

namespace com_testing {
namespace {

using tyvarion::module::kClsidTyvarion;

// Bytes in use on the C runtime's heap, which the module shares with this program.
std::size_t heapInUse() {
    std::size_t inUse = 0;
    _HEAPINFO entry{};
    while (_heapwalk(&entry) == _HEAPOK)
        if (entry._useflag == _USEDENTRY) inUse += entry._size;
    return inUse;
}

template <typename Function>
Function exported(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

TEST(ConstructionFailure, GivesOutOfMemoryAndLeavesNothingBehind) {
    HMODULE module = LoadLibraryW(throwingModulePath().c_str());
    ASSERT_NE(nullptr, module);
    auto getClassObject = exported<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(module, "DllGetClassObject");
    auto canUnloadNow = exported<HRESULT(STDAPICALLTYPE*)()>(module, "DllCanUnloadNow");
    auto liveClients = exported<int(__stdcall*)()>(module, "TyvarionTestLiveClients");
    ASSERT_TRUE(getClassObject != nullptr && canUnloadNow != nullptr && liveClients != nullptr);

    com_ptr<IClassFactory> factory;
    ASSERT_HR(S_OK, getClassObject(kClsidTyvarion, IID_PPV_ARGS(factory.put())));

    const auto createFails = [&](IUnknown* outer, REFIID iid) {
        void* result = &factory;
        EXPECT_HR(E_OUTOFMEMORY, factory.get()->CreateInstance(outer, iid, &result));
        EXPECT_EQ(nullptr, result);
        EXPECT_EQ(0, liveClients());
    };
    createFails(nullptr, __uuidof(IEyeTracker2));  // first use: the runtime's one-time allocations
    const std::size_t before = heapInUse();
    createFails(nullptr, __uuidof(IEyeTracker2));
    createFails(nullptr, IID_IUnknown);
    EXPECT_EQ(before, heapInUse());

    // Aggregated: the same.
    IUnknown* outer = factory.get();  // any unknown will do: it is never called
    createFails(outer, IID_IUnknown);
    EXPECT_EQ(before, heapInUse());

    // No module lock was taken: only this reference to the class object holds one.
    EXPECT_HR(S_FALSE, canUnloadNow());
    factory.reset();
    EXPECT_HR(S_OK, canUnloadNow());
    FreeLibrary(module);
}

// The test-only variant runs the module's own class-object code; no one else
// has asked it for its class object yet.
TEST(ClassObject, ConcurrentFirstRequestsShareOneClassObject) {
    ASSERT_EQ(nullptr, GetModuleHandleW(L"TyvarionNBS_throwing.dll"));
    HMODULE module = LoadLibraryW(throwingModulePath().c_str());
    ASSERT_NE(nullptr, module);
    auto getClassObject = exported<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(module, "DllGetClassObject");
    auto canUnloadNow = exported<HRESULT(STDAPICALLTYPE*)()>(module, "DllCanUnloadNow");
    ASSERT_TRUE(getClassObject != nullptr && canUnloadNow != nullptr);

    constexpr int kThreads = 8;
    std::vector<com_ptr<IClassFactory>> factories(kThreads);
    std::vector<HRESULT> results(kThreads, E_FAIL);
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            results[i] = getClassObject(kClsidTyvarion, IID_PPV_ARGS(factories[i].put()));
        });
    }
    for (std::thread& thread : threads) thread.join();

    for (int i = 0; i < kThreads; ++i) {
        EXPECT_HR(S_OK, results[i]);
        EXPECT_EQ(static_cast<void*>(factories[0].get()), static_cast<void*>(factories[i].get()));
    }
    // The cache's reference and ours.
    EXPECT_EQ(static_cast<ULONG>(kThreads + 2), factories[0].get()->AddRef());
    factories[0].get()->Release();
    EXPECT_HR(S_FALSE, canUnloadNow());
    factories.clear();
    EXPECT_HR(S_OK, canUnloadNow());
    FreeLibrary(module);
}

}  // namespace
}  // namespace com_testing

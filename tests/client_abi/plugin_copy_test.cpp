// The plug-in and its client library as an installation lays them out: copies
// of TyvarionNBS.dll in folders of their own, with the stand-in client DLL
// beside it, without it, with variants that lack members or spell them
// differently, or with a DLL of the other architecture. The plug-in writes
// one line through OutputDebugStringW when it cannot use the library; the
// tests catch it with a vectored exception handler, as a debugger would.
//
// A bound library stays loaded for the rest of the process, and a bare name
// finds a loaded module wherever it came from: the tests that look for the
// library in the system folders come before the first bind.
#include "com_test_support.h"

#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

#include "client/client_library_exports.h"
#include "eyetracker2_template.h"
#include "harness/server_process.h"
#include "module/module_ids.h"

namespace com_testing {
namespace {

namespace fs = std::filesystem;
using tyvarion::module::kClsidTyvarion;

constexpr const wchar_t* kClientFile = TYVARION_CLIENT_LIBRARY_FILE;
constexpr const wchar_t* kConsequence = L"; running without a connection to the Tyvarion server\n";
constexpr const wchar_t* kSimulatedClientFile = TYVARION_SIMULATED_CLIENT_LIBRARY_FILE;

// The texts here are ASCII.
std::wstring widen(const char* text) {
    std::wstring wide;
    for (; *text != '\0'; ++text) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*text)));
    return wide;
}

fs::path unixToWindows(const char* path) {
    std::wstring windows = L"Z:" + widen(path);
    for (wchar_t& c : windows) c = c == L'/' ? L'\\' : c;
    return fs::path(windows);
}

// Debug output of this process while it lives.
class DebugOutput {
public:
    DebugOutput() : handler_(AddVectoredExceptionHandler(1, &DebugOutput::handle)) { lines().clear(); }
    ~DebugOutput() { RemoveVectoredExceptionHandler(handler_); }
    DebugOutput(const DebugOutput&) = delete;
    DebugOutput& operator=(const DebugOutput&) = delete;

    std::vector<std::wstring> take() {
        std::lock_guard lock(mutex());
        return std::exchange(lines(), {});
    }

private:
    static std::mutex& mutex() {
        static std::mutex instance;
        return instance;
    }
    static std::vector<std::wstring>& lines() {
        static std::vector<std::wstring> instance;
        return instance;
    }
    static LONG CALLBACK handle(EXCEPTION_POINTERS* exception) {
        const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
        if (record.NumberParameters < 2) return EXCEPTION_CONTINUE_SEARCH;
        std::lock_guard lock(mutex());
        if (record.ExceptionCode == DBG_PRINTEXCEPTION_WIDE_C) {
            lines().emplace_back(reinterpret_cast<const wchar_t*>(record.ExceptionInformation[1]));
        } else if (record.ExceptionCode == DBG_PRINTEXCEPTION_C) {
            // The narrow copy that follows a wide one, or all there is.
            const std::wstring text = widen(reinterpret_cast<const char*>(record.ExceptionInformation[1]));
            if (lines().empty() || lines().back() != text) lines().push_back(text);
        }
        return EXCEPTION_CONTINUE_SEARCH;
    }
    PVOID handler_;
};

HMODULE loadedModule(const std::wstring& path) { return GetModuleHandleW(path.c_str()); }

// A folder of its own holding a copy of the plug-in and, if given, a client DLL.
class PluginCopy {
public:
    // `clientName`: the client DLL's name in the folder.
    explicit PluginCopy(const wchar_t* name, const fs::path& client = {}, const wchar_t* clientName = kClientFile) {
        folder_ = fs::temp_directory_path() / (std::wstring(L"tyvarion-client-") + name);
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        fs::copy_file(modulePath(), folder_ / L"TyvarionNBS.dll");
        if (!client.empty()) fs::copy_file(client, folder_ / clientName);
    }

    void addFile(const fs::path& file, const wchar_t* name) const { fs::copy_file(file, folder_ / name); }
    ~PluginCopy() {
        module_.reset();
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    PluginCopy(const PluginCopy&) = delete;
    PluginCopy& operator=(const PluginCopy&) = delete;

    std::wstring folderText() const { return folder_.wstring() + L"\\"; }
    std::wstring dll() const { return (folder_ / L"TyvarionNBS.dll").wstring(); }
    std::wstring client() const { return folderText() + kClientFile; }
    HMODULE loadedClient() const { return loadedModule(client()); }
    // Frees this test's reference to the plug-in copy.
    void unload() { module_.reset(); }

    com_ptr<IEyeTracker2> create() {
        if (!module_) module_.reset(LoadLibraryW(dll().c_str()));
        EXPECT_TRUE(module_) << "error " << ::GetLastError();
        com_ptr<IEyeTracker2> tracker;
        if (!module_) return tracker;
        auto getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
            reinterpret_cast<void (*)()>(GetProcAddress(module_.get(), "DllGetClassObject")));
        com_ptr<IClassFactory> factory;
        EXPECT_HR(S_OK, getClassObject(kClsidTyvarion, IID_PPV_ARGS(factory.put())));
        if (!factory) return tracker;
        EXPECT_HR(S_OK, factory.get()->CreateInstance(nullptr, IID_PPV_ARGS(tracker.put())));
        return tracker;
    }

    HRESULT canUnloadNow() const {
        auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
            reinterpret_cast<void (*)()>(GetProcAddress(module_.get(), "DllCanUnloadNow")));
        return canUnload();
    }

private:
    static void freeModule(HMODULE module) noexcept { FreeLibrary(module); }
    fs::path folder_;
    tyvarion::unique_handle<HMODULE, &PluginCopy::freeModule> module_;
};

LONG status(IEyeTracker2* tracker) {
    LONG value = -1;
    EXPECT_HR(S_OK, tracker->GetStatus(&value));
    return value;
}

// What a host sees of an object without a connection.
void expectNotConnected(IEyeTracker2* tracker) {
    EXPECT_EQ(0x40, status(tracker));
    unique_bstr answer;
    EXPECT_HR(S_OK, tracker->SetTracking(VARIANT_TRUE, answer.put()));
    EXPECT_EQ("not connected to the Tyvarion server", text(answer));
    EXPECT_HR(S_FALSE, tracker->StartData(ET2_DT_POSITION, ET2_ET_DEFAULT, answer.put()));
    EXPECT_EQ("not connected to Tyvarion server", text(answer));
}

// The debugger's lines from creating an object of `plugin`, which must run
// without a connection, and releasing it.
std::vector<std::wstring> linesOfANotConnectedObject(PluginCopy& plugin) {
    DebugOutput output;
    {
        com_ptr<IEyeTracker2> tracker = plugin.create();
        EXPECT_TRUE(tracker);
        if (tracker) expectNotConnected(tracker.get());
    }
    return output.take();
}

class ClientLibrary : public testing::Test {
protected:
    void SetUp() override { useNoServer(); }
    Apartment apartment_;
};

TEST_F(ClientLibrary, WithoutItTheModuleRegistersAndItsObjectsAreNotConnected) {
    PluginCopy plugin(L"none");
    EXPECT_EQ(0u, runRegsvr32({L"/s", plugin.dll()}));
    DebugOutput output;
    {
        com_ptr<IEyeTracker2> tracker = plugin.create();
        ASSERT_TRUE(tracker);
        expectNotConnected(tracker.get());
        unique_bstr message;
        EXPECT_HR(S_OK, tracker.get()->GetLastError(message.put()));
        EXPECT_EQ("not connected to Tyvarion server", text(message));
        EXPECT_EQ(nullptr, loadedModule(kClientFile));
    }
    EXPECT_HR(S_OK, plugin.canUnloadNow());
    EXPECT_EQ((std::vector<std::wstring>{L"TyvarionNBS: the client library " + std::wstring(kClientFile) +
                                         L" was found neither in " + plugin.folderText() +
                                         L" nor in the system folders (error 126); running without a "
                                         L"connection to the Tyvarion server\n"}),
              output.take());
    EXPECT_EQ(0u, runRegsvr32({L"/u", L"/s", plugin.dll()}));
    registerModule();
}

TEST_F(ClientLibrary, OneLackingMembersIsNamedWithTheNearestExportsAndLetGo) {
    PluginCopy plugin(L"lacking", unixToWindows(TYVARION_CLIENT_LACKING_CALIBRATE));
    EXPECT_EQ((std::vector<std::wstring>{L"TyvarionNBS: the client library " + plugin.client() +
                                         L" cannot be bound: calibrate missing (no export alike)" + kConsequence}),
              linesOfANotConnectedObject(plugin));
    EXPECT_EQ(nullptr, plugin.loadedClient());

    // calibrate taking a double, and no unrequestTracking at all.
    PluginCopy stub(L"lacking-two", unixToWindows(TYVARION_CHECK_LACKING));
    const std::vector<std::wstring> lines = linesOfANotConnectedObject(stub);
    EXPECT_EQ(nullptr, stub.loadedClient());
#if defined(_WIN64)
    const std::wstring calibrate = L"?calibrate@TYApi@tyapi@@QEAA?AW4ReturnCalibrate@2@N@Z";
#else
    const std::wstring calibrate = L"?calibrate@TYApi@tyapi@@QAE?AW4ReturnCalibrate@2@N@Z";
#endif
    EXPECT_EQ((std::vector<std::wstring>{L"TyvarionNBS: the client library " + stub.client() +
                                         L" cannot be bound: unrequestTracking missing (no export alike), "
                                         L"calibrate missing (nearest export: " + calibrate + L")" + kConsequence}),
              lines);
}

TEST_F(ClientLibrary, OneOfTheOtherArchitectureHasALineOfItsOwn) {
    PluginCopy plugin(L"other", unixToWindows(TYVARION_CHECK_OTHER_ARCHITECTURE));
#if defined(_WIN64)
    const std::wstring line = L" is built for x86 (32-bit), this plug-in for x64 (64-bit): it needs the maker's "
                              L"x64 (64-bit) TYApi64.dll";
#else
    const std::wstring line = L" is built for x64 (64-bit), this plug-in for x86 (32-bit): it needs the maker's "
                              L"x86 (32-bit) TYApi32.dll";
#endif
    EXPECT_EQ((std::vector<std::wstring>{L"TyvarionNBS: the client library " + plugin.client() + line + kConsequence}),
              linesOfANotConnectedObject(plugin));
}

TEST_F(ClientLibrary, OneNeedingADllThatIsNowhereSaysWhichItNeeds) {
    PluginCopy plugin(L"needs-device", unixToWindows(TYVARION_CHECK_NEEDS_DEVICE));
    EXPECT_EQ((std::vector<std::wstring>{L"TyvarionNBS: the client library " + plugin.client() +
                                         L" could not be loaded (error 126); it needs TYDevice.dll" + kConsequence}),
              linesOfANotConnectedObject(plugin));
}

TEST_F(ClientLibrary, OneOnlyInTheCurrentDirectoryIsNotLoaded) {
    PluginCopy plugin(L"alone");
    PluginCopy planted(L"planted", unixToWindows(TYVARION_CLIENT_STANDIN));
    wchar_t previous[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryW(MAX_PATH, previous));
    ASSERT_TRUE(SetCurrentDirectoryW(planted.folderText().c_str()));
    DebugOutput output;
    {
        com_ptr<IEyeTracker2> tracker = plugin.create();
        EXPECT_EQ(nullptr, loadedModule(kClientFile));
        if (tracker) expectNotConnected(tracker.get());
    }
    SetCurrentDirectoryW(previous);
    const auto lines = output.take();
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(std::wstring::npos, lines[0].find(L" was found neither in " + plugin.folderText()));
}

// As the package installs the simulated tracker: its client under a name of
// its own, used only where the maker's library is nowhere, and said so. Before
// any test that binds the maker's name: a bound library stays loaded, and a
// later search by that name would find it.
TEST_F(ClientLibrary, TheSimulatedTrackersOwnClientIsLoadedOnlyWithoutTheMakers) {
    const fs::path standIn = unixToWindows(TYVARION_CLIENT_STANDIN);
    {
        PluginCopy plugin(L"simulated", standIn, kSimulatedClientFile);
        DebugOutput output;
        com_ptr<IEyeTracker2> tracker = plugin.create();
        ASSERT_TRUE(tracker);
        EXPECT_NE(nullptr, loadedModule(plugin.folderText() + kSimulatedClientFile));
        EXPECT_EQ(nullptr, plugin.loadedClient());
        EXPECT_EQ((std::vector<std::wstring>{L"TyvarionNBS: the maker's client library " + std::wstring(kClientFile) +
                                             L" was found neither in " + plugin.folderText() +
                                             L" nor in the system folders; using the simulated tracker's " +
                                             plugin.folderText() + kSimulatedClientFile + L"\n"}),
                  output.take());
    }
    {
        // A maker's library that cannot be bound is reported, not replaced.
        PluginCopy plugin(L"lacking-and-simulated", unixToWindows(TYVARION_CLIENT_LACKING_CALIBRATE));
        plugin.addFile(standIn, kSimulatedClientFile);
        const auto lines = linesOfANotConnectedObject(plugin);
        ASSERT_EQ(1u, lines.size());
        EXPECT_NE(std::wstring::npos, lines[0].find(L"TyvarionNBS: the client library " + plugin.folderText() +
                                                    kClientFile + L" cannot be bound"))
            << lines[0];
    }
    {
        // Beside the maker's (here the stand-in under the maker's name): not taken.
        PluginCopy plugin(L"both", standIn);
        plugin.addFile(standIn, kSimulatedClientFile);
        DebugOutput output;
        com_ptr<IEyeTracker2> tracker = plugin.create();
        ASSERT_TRUE(tracker);
        EXPECT_NE(nullptr, plugin.loadedClient());
        EXPECT_EQ(nullptr, loadedModule(plugin.folderText() + kSimulatedClientFile));
        EXPECT_TRUE(output.take().empty());
    }
}

TEST_F(ClientLibrary, OneBesideThePluginIsBoundAndStaysLoadedWhileThePluginUnloads) {
    PluginCopy plugin(L"beside", unixToWindows(TYVARION_CLIENT_STANDIN));
    DebugOutput output;
    com_ptr<IEyeTracker2> first = plugin.create();
    ASSERT_TRUE(first);
    HMODULE client = plugin.loadedClient();
    ASSERT_NE(nullptr, client);
    wchar_t path[MAX_PATH];
    ASSERT_NE(0u, GetModuleFileNameW(client, path, MAX_PATH));
    EXPECT_EQ(plugin.client(), std::wstring(path));
    com_ptr<IEyeTracker2> second = plugin.create();
    first.reset();
    EXPECT_HR(S_FALSE, plugin.canUnloadNow());
    second.reset();
    EXPECT_HR(S_OK, plugin.canUnloadNow());
    plugin.unload();
    EXPECT_EQ(nullptr, loadedModule(plugin.dll()));
    // Pinned: the maker's threads and DllMain are never asked to let go.
    EXPECT_EQ(client, plugin.loadedClient());
    EXPECT_TRUE(output.take().empty());
}

TEST_F(ClientLibrary, AlternativeSpellingsAreBoundAndConnect) {
    tyvarion::sim::ServerProcess server(std::vector<std::string>{});
    ASSERT_TRUE(server.running()) << server.output();
    server.useForClients();
    PluginCopy plugin(L"alternative", unixToWindows(TYVARION_CLIENT_ALTERNATIVE));
    DebugOutput output;
    com_ptr<IEyeTracker2> tracker = plugin.create();
    ASSERT_TRUE(tracker);
    EXPECT_EQ(0x10, status(tracker.get()));
    unique_bstr answer;
    EXPECT_HR(S_OK, tracker.get()->SetTracking(VARIANT_TRUE, answer.put()));
    EXPECT_EQ("", text(answer));
    EXPECT_EQ(0x07, status(tracker.get()));
    tracker.reset();
    EXPECT_TRUE(output.take().empty());
}

// The stand-in delivers a device event from inside the call, as the server scripts it.
TEST_F(ClientLibrary, DeviceEventsInsideTheCallsWinOverTheirReturn) {
    PluginCopy plugin(L"events", unixToWindows(TYVARION_CLIENT_STANDIN));
    for (const char* lost : {"1@connect", "3@connect", "1@screen", "3@screen"}) {
        SCOPED_TRACE(lost);
        tyvarion::sim::ServerProcess server({"--event", lost});
        ASSERT_TRUE(server.running()) << server.output();
        server.useForClients();
        com_ptr<IEyeTracker2> tracker = plugin.create();
        ASSERT_TRUE(tracker);
        expectNotConnected(tracker.get());
    }
    tyvarion::sim::ServerProcess server({"--event", "4@start"});
    ASSERT_TRUE(server.running()) << server.output();
    server.useForClients();
    com_ptr<IEyeTracker2> tracker = plugin.create();
    ASSERT_TRUE(tracker);
    EXPECT_EQ(0x10, status(tracker.get()));
    unique_bstr answer;
    EXPECT_HR(S_OK, tracker.get()->SetTracking(VARIANT_TRUE, answer.put()));
    EXPECT_EQ("", text(answer));
    EXPECT_EQ(0x10, status(tracker.get()));
}

// The stand-in's thread delivers samples until the maker's destructor returns;
// a later callback would reach a listener already deleted.
TEST_F(ClientLibrary, TeardownWhileSamplesStreamEndsEveryCallback) {
    tyvarion::sim::ServerProcess server({"--rate", "20000"});
    ASSERT_TRUE(server.running()) << server.output();
    server.useForClients();
    PluginCopy plugin(L"streaming", unixToWindows(TYVARION_CLIENT_STANDIN));
    for (int round = 0; round < 3; ++round) {
        com_ptr<IEyeTracker2> tracker = plugin.create();
        ASSERT_TRUE(tracker);
        ASSERT_EQ(0x10, status(tracker.get()));
        unique_bstr answer;
        ASSERT_HR(S_OK, tracker.get()->StartData(ET2_DT_POSITION, ET2_ET_DEFAULT, answer.put()));
        ASSERT_HR(S_OK, tracker.get()->SetTracking(VARIANT_TRUE, answer.put()));
        LONG count = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (count == 0 && std::chrono::steady_clock::now() < deadline) {
            ASSERT_HR(S_OK, tracker.get()->GetEventCount(&count));
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ASSERT_GT(count, 0);
        tracker.reset();
        EXPECT_NE(nullptr, plugin.loadedClient());
    }
    EXPECT_HR(S_OK, plugin.canUnloadNow());
}

}  // namespace
}  // namespace com_testing

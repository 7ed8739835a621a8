// A session driven only through IDispatch against the simulated eye-tracking
// server: tracking, gaze data mapped to the display set late-bound, and a
// trigger that reaches the recording file; and the host session driver's
// late-bound mode.
#include "late_bound.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "eyetracker2_template.h"
#include "harness/child_process.h"
#include "harness/server_process.h"
#include "module/module_ids.h"

namespace com_testing {
namespace {

using tyvarion::module::kClsidTyvarion;

constexpr std::chrono::seconds kPatience{60};

class LateBoundSessionEnvironment : public testing::Environment {
public:
    void SetUp() override {
        registerModule();
        registerHostLibrary();
    }
    void TearDown() override { unregisterHostLibrary(); }
};
const auto* const environment = testing::AddGlobalTestEnvironment(new LateBoundSessionEnvironment);

LONG callForLong(IDispatch* dispatch, const wchar_t* name) {
    Invocation call;
    invoke(dispatch, name, {}, call);
    EXPECT_HR(S_OK, call.result);
    EXPECT_EQ(VT_I4, call.value.type());
    return call.value.type() == VT_I4 ? V_I4(call.value.get()) : -1;
}

// The message a late-bound call returned; the call itself must succeed.
std::string callForMessage(IDispatch* dispatch, const wchar_t* name, std::initializer_list<Variant> arguments) {
    Invocation call;
    invoke(dispatch, name, arguments, call);
    EXPECT_HR(S_OK, call.result);
    return bstrText(call.value);
}

// Waits until the late-bound event count reaches `wanted`.
bool waitForEvents(IDispatch* dispatch, LONG wanted) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < deadline) {
        if (callForLong(dispatch, L"GetEventCount") >= wanted) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

std::filesystem::path documentsFolder() {
    wchar_t folder[MAX_PATH] = {};
    DWORD bytes = sizeof folder;
    EXPECT_EQ(ERROR_SUCCESS,
              RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                           L"Personal", RRF_RT_REG_SZ, nullptr, folder, &bytes));
    return folder;
}

TEST(LateBoundSession, ReachesTheTrackerAndTheRecording) {
    tyvarion::sim::ServerProcess server;
    ASSERT_TRUE(server.running()) << server.output();
    server.useForClients();
    Apartment apartment;
    // Marks this run's recording among others of this machine.
    const LONG trigger = static_cast<LONG>(GetTickCount64() % 1000000000) + 1000;

    {
        com_ptr<IEyeTracker2> tracker;
        ASSERT_HR(S_OK, CoCreateInstance(kClsidTyvarion, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(tracker.put())));
        IDispatch* d = tracker.get();

        EXPECT_EQ(0x10, callForLong(d, L"GetStatus"));
        // Wide and flat: the two sizes must arrive in their order.
        Invocation display;
        invoke(d, L"SetDisplayMode", {Variant::i4(4000), Variant::i4(2)}, display);
        EXPECT_HR(S_OK, display.result);
        EXPECT_EQ("", callForMessage(d, L"SetTracking", {Variant::boolean(VARIANT_TRUE)}));
        EXPECT_EQ("", callForMessage(d, L"StartData", {Variant::i4(ET2_DT_POSITION), Variant::i4(ET2_ET_DEFAULT)}));
        EXPECT_EQ("", callForMessage(d, L"SetRecording", {Variant::boolean(VARIANT_TRUE)}));
        EXPECT_EQ(0x0F, callForLong(d, L"GetStatus"));

        ASSERT_TRUE(waitForEvents(d, 50));
        Invocation sent;
        invoke(d, L"SendTrigger", {Variant::i4(trigger)}, sent);
        EXPECT_HR(S_OK, sent.result);

        // The events themselves only through the vtable (Wine cannot marshal the record array).
        EyeTracker2GeneralData events[256];
        LONG count = 256;
        ASSERT_HR(S_OK, tracker.get()->GetEvents(&count, events));
        ASSERT_GE(count, 50);
        double widest = 0;
        for (LONG i = 0; i < count; ++i) {
            EXPECT_EQ(ET2_DT_POSITION, events[i].type);
            EXPECT_LE(std::fabs(events[i].yData), 1.5) << "event " << i;
            widest = std::max(widest, std::fabs(events[i].xData));
        }
        EXPECT_GT(widest, 1.5);

        // Later samples wake the writer for the trigger's line.
        ASSERT_TRUE(waitForEvents(d, 50));
        EXPECT_EQ("", callForMessage(d, L"SetRecording", {Variant::boolean(VARIANT_FALSE)}));
        EXPECT_EQ("", callForMessage(d, L"SetTracking", {Variant::boolean(VARIANT_FALSE)}));
        EXPECT_EQ(0x10, callForLong(d, L"GetStatus"));
        EXPECT_EQ("", callForMessage(d, L"GetLastError", {}));
        EXPECT_EQ(0u, tracker.release()->Release());
    }
    server.stop();

    const std::string line = "trigger: " + std::to_string(trigger) + "\r\n";
    const std::filesystem::path folder = documentsFolder() / "Tyvarion" / "NBS Presentation";
    std::filesystem::path recording;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream file(entry.path(), std::ios::binary);
        const std::string contents{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        if (contents.find(line) != std::string::npos) recording = entry.path();
    }
    ASSERT_FALSE(recording.empty()) << "no recording with \"" << line << "\" in " << folder.string();
    std::filesystem::remove(recording);
}

// Runs host-session.exe with `arguments`; its exit code, with its output in `output`.
int runHostSession(const std::vector<std::string>& arguments, std::string& output) {
    std::string program = TYVARION_HOST_SESSION;
    for (char& c : program)
        if (c == '/') c = '\\';
    std::string error;
    auto child = tyvarion::sim::ChildProcess::start("Z:" + program, arguments, error);
    if (!child) {
        ADD_FAILURE() << error;
        return -1;
    }
    child->closeInput();
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (child->read(output, std::chrono::milliseconds(500)) || !child->poll()) {
        if (std::chrono::steady_clock::now() > deadline) break;
    }
    return child->wait(std::chrono::seconds(10));
}

TEST(LateBoundSession, HostSessionDriverRunsLateBound) {
    tyvarion::sim::ServerProcess server;
    ASSERT_TRUE(server.running()) << server.output();
    server.useForClients();

    wchar_t temporary[MAX_PATH];
    ASSERT_NE(0u, GetTempPathW(MAX_PATH, temporary));
    const std::filesystem::path pathFile = std::filesystem::path(temporary) / "tyvarion-late-bound-recording.txt";
    std::string output;
    EXPECT_EQ(0, runHostSession({"--late-bound", "--trials", "1", "--trial-ms", "300", "--recording-path-file",
                                 pathFile.string()},
                                output))
        << output;
    EXPECT_NE(std::string::npos, output.find("tracker object: eyetracker2.Tyvarion through CoCreateInstance, "
                                             "IEyeTracker2 late bound through IDispatch"))
        << output;
    EXPECT_NE(std::string::npos, output.find("trials                         1 of 1")) << output;
    std::ifstream recordingPath(pathFile);
    std::string recording;
    std::getline(recordingPath, recording);
    recordingPath.close();
    EXPECT_FALSE(recording.empty());
    std::error_code ignored;
    if (!recording.empty()) std::filesystem::remove(std::filesystem::u8path(recording), ignored);
    std::filesystem::remove(pathFile, ignored);

    // Without the host's library the driver refuses, and says why.
    unregisterHostLibrary();
    output.clear();
    EXPECT_EQ(1, runHostSession({"--late-bound", "--trials", "1", "--trial-ms", "300"}, output)) << output;
    EXPECT_NE(std::string::npos, output.find("host-session: late binding is not available: "
                                             "GetIDsOfNames(\"SetDisplayMode\") returned 0x8002801D"))
        << output;
    registerHostLibrary();
}

}  // namespace
}  // namespace com_testing

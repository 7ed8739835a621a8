// A recording made through the COM object against the simulated eye-tracking
// server lands in the Documents folder that the registry names, with CR LF
// line ends.
#include "com_test_support.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include "eyetracker2_template.h"
#include "harness/server_process.h"
#include "module/module_ids.h"

namespace com_testing {
namespace {

using tyvarion::module::kClsidTyvarion;

constexpr std::chrono::seconds kPatience{60};

// The user's Documents folder as the registry names it.
std::filesystem::path documentsFolder() {
    wchar_t folder[MAX_PATH] = {};
    DWORD bytes = sizeof folder;
    const LSTATUS status = RegGetValueW(HKEY_CURRENT_USER,
                                        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                                        L"Personal", RRF_RT_REG_SZ, nullptr, folder, &bytes);
    EXPECT_EQ(ERROR_SUCCESS, status);
    return folder;
}

// Polls until `count` more events have arrived, taking them out of the queue.
bool receiveEvents(IEyeTracker2* tracker, LONG wanted) {
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    LONG received = 0;
    while (received < wanted && std::chrono::steady_clock::now() < deadline) {
        EyeTracker2GeneralData events[64];
        LONG count = 64;
        if (FAILED(tracker->GetEvents(&count, events))) return false;
        received += count;
        if (count == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return received >= wanted;
}

std::string fileText(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

TEST(Recording, LandsInTheDocumentsFolderWithCrLfLineEnds) {
    registerModule();
    tyvarion::sim::ServerProcess server;
    ASSERT_TRUE(server.running()) << server.output();
    server.useForClients();
    Apartment apartment;

    const std::filesystem::path folder = documentsFolder() / "Tyvarion" / "NBS Presentation";
    // Marks this run's file among others of this machine.
    const std::string marker = "com test " + std::to_string(GetCurrentProcessId()) + " " +
                               std::to_string(GetTickCount64());
    const std::wstring wideMarker(marker.begin(), marker.end());

    {
        com_ptr<IEyeTracker2> tracker;
        ASSERT_HR(S_OK, CoCreateInstance(kClsidTyvarion, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_PPV_ARGS(tracker.put())));
        IEyeTracker2* t = tracker.get();
        LONG status = 0;
        EXPECT_HR(S_OK, t->GetStatus(&status));
        EXPECT_EQ(0x10, status);

        unique_bstr message;
        EXPECT_HR(S_OK, t->SetTracking(VARIANT_TRUE, message.put()));
        EXPECT_EQ("", text(message));
        EXPECT_HR(S_OK, t->StartData(ET2_DT_POSITION, ET2_ET_DEFAULT, message.put()));
        EXPECT_EQ("", text(message));
        EXPECT_HR(S_OK, t->SetRecording(VARIANT_TRUE, message.put()));
        EXPECT_EQ("", text(message));
        EXPECT_HR(S_OK, t->GetStatus(&status));
        EXPECT_EQ(0x0F, status);

        ASSERT_TRUE(receiveEvents(t, 20));
        EXPECT_HR(S_OK, t->SendTrigger(-17));
        EXPECT_HR(S_OK, t->SendString(const_cast<LPWSTR>(wideMarker.c_str())));
        // Later samples wake the writer for the two lines.
        ASSERT_TRUE(receiveEvents(t, 20));
        EXPECT_HR(S_OK, t->SetRecording(VARIANT_FALSE, message.put()));
        EXPECT_EQ("", text(message));
        EXPECT_EQ(0u, tracker.release()->Release());
    }
    server.stop();

    std::filesystem::path recording;
    std::string contents;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("tyvarion_NBS_", 0) != 0 || entry.path().extension() != ".csv") continue;
        std::string candidate = fileText(entry.path());
        if (candidate.find("message: " + marker + "\r\n") == std::string::npos) continue;
        recording = entry.path();
        contents = std::move(candidate);
    }
    ASSERT_FALSE(recording.empty()) << "no recording with the marker in " << folder.string();

    const std::string header =
        "Sep=;\r\n"
        "timestamp [us];\tindex;\tPOR X [px];\tPOR Y [px];\tPOR Left X [px];\tPOR Left Y [px];"
        "\tPupil Diam Left [mm];\tPOR Right X [px];\tPOR Right Y [px];\tPupil Diam Right [mm]\r\n";
    EXPECT_EQ(header, contents.substr(0, header.size()));
    // Every line ends with CR LF, and no CR stands alone.
    for (std::size_t position = 0; position < contents.size(); ++position) {
        if (contents[position] == '\n') {
            ASSERT_TRUE(position > 0 && contents[position - 1] == '\r') << "LF without CR at " << position;
        } else if (contents[position] == '\r') {
            ASSERT_TRUE(position + 1 < contents.size() && contents[position + 1] == '\n')
                << "CR without LF at " << position;
        }
    }
    ASSERT_EQ('\n', contents.back());
    // After the header: sample lines, ending with ';', and the two text lines.
    std::size_t samples = 0;
    std::vector<std::string> texts;
    for (std::size_t start = header.size(); start < contents.size();) {
        const std::size_t end = contents.find("\r\n", start);
        const std::string line = contents.substr(start, end - start);
        if (!line.empty() && line.back() == ';') {
            ++samples;
        } else {
            texts.push_back(line);
        }
        start = end + 2;
    }
    EXPECT_GE(samples, 20u);
    EXPECT_EQ((std::vector<std::string>{"trigger: -17", "message: " + marker}), texts);
    std::filesystem::remove(recording);
}

}  // namespace
}  // namespace com_testing

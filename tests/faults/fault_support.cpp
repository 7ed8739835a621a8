#include "fault_support.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#ifdef _WIN32
#include "platform/com_types.h"
#else
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif
#include <cstdlib>

namespace faults {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Wine starts slowly and the machine may be busy: generous, since only a
// hang should ever reach it.
constexpr auto kPatience = std::chrono::seconds(60);

}  // namespace

std::unique_ptr<HostTracker> createTracker() {
    tyvarion::host::CreateResult created = tyvarion::host::createHostTracker(tyvarion::host::Binding::early);
    EXPECT_TRUE(created.tracker) << created.error;
    return std::move(created.tracker);
}

void startRecordingSession(HostTracker& tracker) {
    EXPECT_EQ(S_OK, tracker.setDisplayMode(1920, 1080));
    for (auto type : {tyvarion::ET2_DT_POSITION, tyvarion::ET2_DT_PUPIL}) {
        for (auto eye : {tyvarion::ET2_ET_DEFAULT, tyvarion::ET2_ET_LEFT, tyvarion::ET2_ET_RIGHT}) {
            const Reply reply = tracker.startData(type, eye);
            EXPECT_EQ(S_OK, reply.result) << reply.message;
        }
    }
    Reply reply = tracker.setRecording(true);
    EXPECT_EQ(S_OK, reply.result);
    EXPECT_EQ("", reply.message);
    reply = tracker.setTracking(true);
    EXPECT_EQ(S_OK, reply.result);
    EXPECT_EQ("", reply.message);
    LONG status = 0;
    EXPECT_EQ(S_OK, tracker.getStatus(status));
    EXPECT_EQ(0x0F, status);
}

void drainEvents(HostTracker& tracker, std::set<std::uint64_t>& times) {
    // What is queued now, and no more: a slow host must not chase the stream.
    LONG queued = 0;
    ASSERT_EQ(S_OK, tracker.getEventCount(queued));
    std::vector<tyvarion::EyeTracker2GeneralData> events(4096);
    while (queued > 0) {
        LONG count = std::min(queued, static_cast<LONG>(events.size()));
        ASSERT_EQ(S_OK, tracker.getEvents(count, events.data()));
        for (LONG i = 0; i < count; ++i) times.insert(events[static_cast<std::size_t>(i)].time);
        if (count == 0) return;
        queued -= count;
    }
}

bool receiveSamples(HostTracker& tracker, std::size_t samples, std::set<std::uint64_t>& times) {
    const std::size_t wanted = times.size() + samples;
    const auto deadline = Clock::now() + kPatience;
    while (times.size() < wanted && Clock::now() < deadline) {
        drainEvents(tracker, times);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return times.size() >= wanted;
}

bool waitForStatus(HostTracker& tracker, LONG wanted) {
    const auto deadline = Clock::now() + kPatience;
    LONG status = -1;
    while (Clock::now() < deadline) {
        if (tracker.getStatus(status) == S_OK && status == wanted) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

std::vector<fs::path> recordingFiles(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->path().extension() == ".csv") files.push_back(it->path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool heldOpen(const fs::path& file) {
#ifdef _WIN32
    // Sharing nothing fails while another handle is open.
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_SHARING_VIOLATION;
    CloseHandle(handle);
    return false;
#else
    std::error_code error;
    const fs::path wanted = fs::canonical(file, error);
    for (const auto& entry : fs::directory_iterator("/proc/self/fd", error)) {
        std::error_code linkError;
        if (fs::read_symlink(entry.path(), linkError) == wanted) return true;
    }
    return false;
#endif
}

std::string fileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

tyvarion::tools::Recording readRecording(const fs::path& file) {
    std::istringstream in(fileBytes(file));
    return tyvarion::tools::parseRecording(in);
}

std::string complete(const fs::path& file) {
    const std::string bytes = fileBytes(file);
    if (bytes.empty() || bytes.back() != '\n') return "the last line has no line end";
    const tyvarion::tools::Recording recording = readRecording(file);
    if (!recording.hasSeparatorLine || !recording.hasColumnHeader) return "no header";
    if (recording.unreadable.count != 0) return "a broken line: \"" + recording.unreadable.firstText + "\"";
    for (std::size_t i = 1; i < recording.samples.size(); ++i) {
        if (recording.samples[i].index <= recording.samples[i - 1].index) return "samples out of order";
    }
    return {};
}

std::string completeAndGapless(const fs::path& file) {
    if (std::string broken = complete(file); !broken.empty()) return broken;
    const std::int64_t missing = tyvarion::tools::missingSamples(readRecording(file).samples);
    return missing == 0 ? std::string() : std::to_string(missing) + " samples missing between lines";
}

fs::path unusableDocumentsFolder() {
#ifdef _WIN32
    return fs::path(L"Q:\\no drive here\\Documents");
#else
    // Nothing can be made in /proc, not even by root.
    return fs::path("/proc/self/no-documents-here");
#endif
}

std::string hostSessionProgram() {
    std::string path = TYVARION_HOST_SESSION_PATH;
#ifdef _WIN32
    // The build records a Linux path; under Wine it lives on drive Z:.
    if (!path.empty() && path.front() == '/') {
        std::replace(path.begin(), path.end(), '/', '\\');
        path = "Z:" + path;
    }
#endif
    return path;
}

namespace {
constexpr std::uint64_t kSmallDiskBytes = 256 * 1024;
}

#ifdef _WIN32

SmallDisk::SmallDisk() {
    const char* folder = std::getenv("TYVARION_SMALL_DISK");
    if (folder == nullptr || *folder == '\0') {
        why_ = "TYVARION_SMALL_DISK is not set";
        return;
    }
    std::string windows = folder;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    const fs::path path = fs::path("Z:" + windows);
    ULARGE_INTEGER total{};
    if (!GetDiskFreeSpaceExW(path.c_str(), nullptr, &total, nullptr) || total.QuadPart > 4 * kSmallDiskBytes) {
        why_ = "no small file system at " + std::string(folder) + " (its fixture could not mount one)";
        return;
    }
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(path, error)) fs::remove_all(entry.path(), error);
    path_ = path;
}

SmallDisk::~SmallDisk() {
    std::error_code error;
    if (!path_.empty())
        for (const auto& entry : fs::directory_iterator(path_, error)) fs::remove_all(entry.path(), error);
}

#else

SmallDisk::SmallDisk() {
    const fs::path path = fs::temp_directory_path() / ("tyvarion-small-disk-" + std::to_string(getpid()));
    std::error_code error;
    fs::create_directories(path, error);
    const std::string options = "size=" + std::to_string(kSmallDiskBytes) + ",mode=0700";
    if (::mount("tyvarion-small-disk", path.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
        why_ = std::string("mounting a tmpfs failed: ") + std::strerror(errno);
        fs::remove(path, error);
        return;
    }
    mounted_ = true;
    path_ = path;
}

SmallDisk::~SmallDisk() {
    if (!mounted_) return;
    ::umount2(path_.c_str(), MNT_DETACH);
    std::error_code error;
    fs::remove(path_, error);
}

#endif

}  // namespace faults

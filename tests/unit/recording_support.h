#pragma once
// Helpers for the recording tests: a look into the tracker's recording queue
// and writer, a fixed clock, a scratch folder, and the Documents folder set to
// a place of the test's choosing (an environment variable on POSIX, the
// registry value on Windows), restored afterwards.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "tracker/tyvarion.h"

#ifdef _WIN32
#include <process.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace tyvarion {

// Friend of Tyvarion: stalls and resumes the writer, reads the queue.
struct RecordingProbe {
    // Ends the writer thread the way teardown does; entries stay queued and
    // producers go on queueing.
    static void stallWriter(Tyvarion& tracker) {
        {
            std::lock_guard lock(tracker.recordMutex);
            tracker.stopWriter = true;
            tracker.recordCondition.notify_all();
        }
        tracker.writerThread.join();
    }

    static void resumeWriter(Tyvarion& tracker) {
        tracker.stopWriter = false;
        tracker.writerThread = std::thread(&Tyvarion::writerLoop, &tracker, RecordQueue{});
    }

    // Each queued entry as its text, or "sample <index>".
    // Empties the queue as a writer that takes every entry would, without
    // writing anything.
    static void takeQueued(Tyvarion& tracker) {
        std::lock_guard lock(tracker.recordMutex);
        tracker.recordQueue.clear();
    }

    static std::vector<std::string> queued(Tyvarion& tracker) {
        std::lock_guard lock(tracker.recordMutex);
        std::vector<std::string> entries;
        for (const RecordingEntry& entry : tracker.recordQueue) {
            entries.push_back(entry.sample ? "sample " + std::to_string(entry.sample->index)
                                           : entry.text.value_or("(empty entry)"));
        }
        return entries;
    }

    // Waits until the writer has taken every entry; fails after a long while.
    static bool waitUntilQueueEmpty(Tyvarion& tracker) {
        return waitUnderRecordMutex(tracker, [&] { return tracker.recordQueue.empty(); });
    }

    // Sets the queue's wake mark and the writer's deadline; the writer uses
    // the deadline from its next batch on.
    static void setWriterPacing(Tyvarion& tracker, std::size_t wakeMark,
                                std::chrono::steady_clock::duration deadline) {
        std::lock_guard lock(tracker.recordMutex);
        tracker.recordQueue.setWakeMark(wakeMark);
        tracker.writerDeadline = deadline;
    }

    // Moves the writer's clock on and lets it look at it.
    static void moveWriterClockOn(Tyvarion& tracker, std::chrono::steady_clock::duration step) {
        std::lock_guard lock(tracker.recordMutex);
        tracker.writerClockShift += step;
        tracker.recordCondition.notify_all();
    }

    // Waits until the writer waits in `state`; fails after a long while.
    static bool waitUntilWriter(Tyvarion& tracker, WriterState state) {
        return waitUnderRecordMutex(tracker, [&] { return tracker.recordQueue.writerState() == state; });
    }

    // Waits until the writer waits again, lingering or asleep, after the batch
    // it is busy with; fails after a long while.
    static bool waitUntilWriterWaits(Tyvarion& tracker) {
        return waitUnderRecordMutex(tracker, [&] { return tracker.recordQueue.writerState() != WriterState::busy; });
    }

    // The moment between a stop's closing of the file and its lowering of
    // `recording`, held open.
    static void raiseFlagWithoutFile(Tyvarion& tracker) {
        std::lock_guard lock(tracker.eventMutex);
        tracker.recording = true;
    }

    static bool fileOpen(Tyvarion& tracker) {
        std::lock_guard lock(tracker.recordMutex);
        return tracker.recordFile != nullptr;
    }

private:
    // Polls `holds`, under the recording mutex, every millisecond for up to 30 s.
    template <typename Condition>
    static bool waitUnderRecordMutex(Tyvarion& tracker, Condition holds) {
        for (int round = 0; round < 30000; ++round) {
            {
                std::lock_guard lock(tracker.recordMutex);
                if (holds()) return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
};

}  // namespace tyvarion

namespace recording_support {

namespace fs = std::filesystem;

#ifdef _WIN32
inline constexpr const char* kLineEnd = "\r\n";
#else
inline constexpr const char* kLineEnd = "\n";
#endif

inline constexpr const char* kHeader =
    "Sep=;\n"
    "timestamp [us];\tindex;\tPOR X [px];\tPOR Y [px];\tPOR Left X [px];\tPOR Left Y [px];"
    "\tPupil Diam Left [mm];\tPOR Right X [px];\tPOR Right Y [px];\tPupil Diam Right [mm]\n";

// `text` with every "\n" as the platform's line end, as the file holds it.
inline std::string onDisk(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += kLineEnd;
        } else {
            out += c;
        }
    }
    return out;
}

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// Names of the entries of `folder`, sorted; empty when it does not exist.
inline std::vector<std::string> listFolder(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// A fresh empty folder, removed with everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder() {
        static std::atomic<int> counter{0};
#ifdef _WIN32
        const int process = _getpid();
#else
        const int process = static_cast<int>(getpid());
#endif
        path_ = fs::temp_directory_path() /
                ("tyvarion-recording-" + std::to_string(process) + "-" +
                 std::to_string(counter++));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code error;
        fs::remove_all(path_, error);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Runs the process in `folder` until the end of the scope.
class ScopedCurrentFolder {
public:
    explicit ScopedCurrentFolder(const fs::path& folder) : saved_(fs::current_path()) {
        fs::current_path(folder);
    }
    ~ScopedCurrentFolder() {
        std::error_code error;
        fs::current_path(saved_, error);
    }
    ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
    ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

private:
    fs::path saved_;
};

// The clock fixed at one second, given as the local calendar time it shows.
class FixedClock {
public:
    FixedClock() { tyvarion::platform::setFileTimeSource(&now); }
    ~FixedClock() { tyvarion::platform::setFileTimeSource(nullptr); }
    FixedClock(const FixedClock&) = delete;
    FixedClock& operator=(const FixedClock&) = delete;

    // Sets the clock to the local time given, plus `microseconds`.
    static void setLocal(int year, int month, int day, int hour, int minute, int second,
                         std::int64_t microseconds = 0) {
        std::tm local{};
        local.tm_year = year - 1900;
        local.tm_mon = month - 1;
        local.tm_mday = day;
        local.tm_hour = hour;
        local.tm_min = minute;
        local.tm_sec = second;
        local.tm_isdst = -1;
        setUnix(static_cast<std::int64_t>(std::mktime(&local)), microseconds);
    }

    static void setUnix(std::int64_t seconds, std::int64_t microseconds = 0) {
        constexpr std::uint64_t kUnixEpochAsFileTime = 116444736000000000;
        fileTime() = kUnixEpochAsFileTime +
                     static_cast<std::uint64_t>(seconds * 10000000 + microseconds * 10);
    }

private:
    static std::uint64_t& fileTime() {
        static std::uint64_t value = 0;
        return value;
    }
    static std::uint64_t now() { return fileTime(); }
};

// Points the Documents folder at `folder`, or removes the setting when it is
// nullopt, until the end of the scope.
class ScopedDocumentsFolder {
public:
    explicit ScopedDocumentsFolder(const std::optional<fs::path>& folder);
    ~ScopedDocumentsFolder();
    ScopedDocumentsFolder(const ScopedDocumentsFolder&) = delete;
    ScopedDocumentsFolder& operator=(const ScopedDocumentsFolder&) = delete;

#ifdef _WIN32
    // Stores a value of another type than a plain string.
    static void setExpandableString(const std::wstring& text);
    static void setNumber(DWORD number);
#endif

private:
#ifdef _WIN32
    bool hadValue_ = false;
    DWORD savedType_ = 0;
    std::vector<unsigned char> savedData_;
#else
    std::optional<std::string> savedDocuments_;
    std::optional<std::string> savedHome_;
#endif
};

#ifdef _WIN32

inline constexpr const wchar_t* kShellFolders =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

inline ScopedDocumentsFolder::ScopedDocumentsFolder(const std::optional<fs::path>& folder) {
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, 0,
                                             KEY_READ | KEY_WRITE, nullptr, &key, nullptr));
    DWORD size = 0;
    if (RegQueryValueExW(key, L"Personal", nullptr, &savedType_, nullptr, &size) ==
        ERROR_SUCCESS) {
        savedData_.resize(size);
        hadValue_ = RegQueryValueExW(key, L"Personal", nullptr, &savedType_, savedData_.data(),
                                     &size) == ERROR_SUCCESS;
        savedData_.resize(size);
    }
    if (folder) {
        const std::wstring text = folder->wstring();
        EXPECT_EQ(ERROR_SUCCESS,
                  RegSetValueExW(key, L"Personal", 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(text.c_str()),
                                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
    } else {
        RegDeleteValueW(key, L"Personal");
    }
    RegCloseKey(key);
}

inline ScopedDocumentsFolder::~ScopedDocumentsFolder() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kShellFolders, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        ADD_FAILURE() << "the Shell Folders key could not be opened to restore it";
        return;
    }
    if (hadValue_) {
        RegSetValueExW(key, L"Personal", 0, savedType_, savedData_.data(),
                       static_cast<DWORD>(savedData_.size()));
    } else {
        RegDeleteValueW(key, L"Personal");
    }
    RegCloseKey(key);
}

inline void ScopedDocumentsFolder::setExpandableString(const std::wstring& text) {
    EXPECT_EQ(ERROR_SUCCESS,
              RegSetKeyValueW(HKEY_CURRENT_USER, kShellFolders, L"Personal", REG_EXPAND_SZ,
                              text.c_str(),
                              static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
}

inline void ScopedDocumentsFolder::setNumber(DWORD number) {
    EXPECT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, kShellFolders, L"Personal",
                                             REG_DWORD, &number, sizeof number));
}

#else

inline std::optional<std::string> environmentVariable(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
}

inline void restoreVariable(const char* name, const std::optional<std::string>& value) {
    if (value) {
        setenv(name, value->c_str(), 1);
    } else {
        unsetenv(name);
    }
}

inline ScopedDocumentsFolder::ScopedDocumentsFolder(const std::optional<fs::path>& folder)
    : savedDocuments_(environmentVariable("XDG_DOCUMENTS_DIR")),
      savedHome_(environmentVariable("HOME")) {
    if (folder) {
        setenv("XDG_DOCUMENTS_DIR", folder->c_str(), 1);
    } else {
        unsetenv("XDG_DOCUMENTS_DIR");
        unsetenv("HOME");
    }
}

inline ScopedDocumentsFolder::~ScopedDocumentsFolder() {
    restoreVariable("XDG_DOCUMENTS_DIR", savedDocuments_);
    restoreVariable("HOME", savedHome_);
}

#endif

// A test whose Documents folder is a fresh scratch folder and whose clock
// shows 2024-03-05 14:07:09 local time.
class RecordingFolderTest : public ::testing::Test {
protected:
    RecordingFolderTest() : documentsSetting(documents()) {}

    void SetUp() override {
        fs::create_directory(documents());
        FixedClock::setLocal(2024, 3, 5, 14, 7, 9);
    }

    fs::path documents() const { return scratch.path() / "Documents"; }
    fs::path recordings() const { return documents() / "Tyvarion" / "NBS Presentation"; }
    std::string file(const char* name) const { return readFile(recordings() / name); }

    ScratchFolder scratch;
    FixedClock clock;
    ScopedDocumentsFolder documentsSetting;
};

#ifndef _WIN32

// A file size limit for this process, lifted again by lift() or at the end of
// the scope. The plug-in ignores the signal a write past it raises.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        EXPECT_EQ(0, setrlimit(RLIMIT_FSIZE, &limit));
    }
    ~ScopedFileSizeLimit() { lift(); }
    void lift() { setrlimit(RLIMIT_FSIZE, &saved_); }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    rlimit saved_{};
};

#endif

}  // namespace recording_support

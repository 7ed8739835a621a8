#include "thread_usage.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace tyvarion::e2e {
namespace {

namespace fs = std::filesystem;

std::uint64_t statusField(const fs::path& status, const std::string& name) {
    std::ifstream in(status);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(name + ":", 0) == 0) return std::stoull(line.substr(name.size() + 1));
    }
    return 0;
}

}  // namespace

std::vector<ThreadCounters> threadCounters() {
    std::vector<ThreadCounters> threads;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator("/proc/self/task", error)) {
        ThreadCounters counters;
        counters.tid = std::stoi(entry.path().filename().string());
        std::ifstream(entry.path() / "comm") >> counters.name;
        std::ifstream(entry.path() / "schedstat") >> counters.runNanos;
        counters.sleeps = statusField(entry.path() / "status", "voluntary_ctxt_switches");
        counters.preemptions = statusField(entry.path() / "status", "nonvoluntary_ctxt_switches");
        threads.push_back(counters);
    }
    return threads;
}

int currentThreadId() { return static_cast<int>(syscall(SYS_gettid)); }

}  // namespace tyvarion::e2e

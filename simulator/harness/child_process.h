#pragma once
// A child process with a pipe to its standard input and one from its
// standard output and error, for test harnesses (POSIX and Windows).

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tyvarion::sim {

class ChildProcess {
public:
    // Null, with `error` set, when the program cannot be started.
    static std::unique_ptr<ChildProcess> start(const std::string& program,
                                               const std::vector<std::string>& arguments,
                                               std::string& error);
    // Kills the child if it is still running.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Appends what the child has printed, waiting up to `timeout` for
    // something; false once its output has ended or nothing came in time.
    bool read(std::string& output, std::chrono::milliseconds timeout);
    void closeInput();
    // The exit code once the child has ended; nullopt while it runs.
    std::optional<int> poll();
    // The exit code; after `timeout` the child is killed and -1 returned.
    int wait(std::chrono::milliseconds timeout);
    // Ends the child at once, as the Task Manager or kill -9 does (SIGKILL,
    // TerminateProcess), and waits until it is gone.
    void kill();

    struct Native;
    explicit ChildProcess(std::unique_ptr<Native> native);

private:
    std::unique_ptr<Native> native_;
};

}  // namespace tyvarion::sim

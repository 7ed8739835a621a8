#include "harness/child_process.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace tyvarion::sim {

struct ChildProcess::Native {
    pid_t pid = -1;
    int input = -1;   // the child's standard input, write end
    int output = -1;  // the child's standard output and error, read end
    bool exited = false;
    int exitCode = -1;

    ~Native() {
        if (input >= 0) ::close(input);
        if (output >= 0) ::close(output);
        if (pid > 0 && !exited) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

ChildProcess::ChildProcess(std::unique_ptr<Native> native) : native_(std::move(native)) {}
ChildProcess::~ChildProcess() = default;

std::unique_ptr<ChildProcess> ChildProcess::start(const std::string& program,
                                                  const std::vector<std::string>& arguments,
                                                  std::string& error) {
    int input[2];
    int output[2];
    if (::pipe2(input, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    if (::pipe2(output, O_CLOEXEC) != 0) {
        error = std::strerror(errno);
        ::close(input[0]);
        ::close(input[1]);
        return nullptr;
    }
    auto native = std::make_unique<Native>();
    native->input = input[1];
    native->output = output[0];

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDERR_FILENO);

    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const int spawned = ::posix_spawn(&native->pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output[1]);
    if (spawned != 0) {
        native->pid = -1;
        error = "cannot start " + program + ": " + std::strerror(spawned);
        return nullptr;
    }
    return std::make_unique<ChildProcess>(std::move(native));
}

bool ChildProcess::read(std::string& output, std::chrono::milliseconds timeout) {
    if (native_->output < 0) {
        std::this_thread::sleep_for(std::min(timeout, std::chrono::milliseconds(10)));
        return false;
    }
    pollfd entry{native_->output, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&entry, 1, static_cast<int>(timeout.count()));
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) return false;
    char buffer[4096];
    ssize_t count;
    do {
        count = ::read(native_->output, buffer, sizeof buffer);
    } while (count < 0 && errno == EINTR);
    if (count <= 0) {
        ::close(native_->output);
        native_->output = -1;
        return false;
    }
    output.append(buffer, static_cast<std::size_t>(count));
    return true;
}

void ChildProcess::closeInput() {
    if (native_->input >= 0) ::close(native_->input);
    native_->input = -1;
}

std::optional<int> ChildProcess::poll() {
    if (!native_->exited) {
        int status = 0;
        if (::waitpid(native_->pid, &status, WNOHANG) != native_->pid) return std::nullopt;
        native_->exited = true;
        native_->exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return native_->exitCode;
}

int ChildProcess::wait(std::chrono::milliseconds timeout) {
    if (native_->exited) return native_->exitCode;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(native_->pid, &status, WNOHANG);
        if (done == native_->pid) break;
        if (done < 0 && errno != EINTR) return -1;
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(native_->pid, SIGKILL);
            ::waitpid(native_->pid, &status, 0);
            native_->exited = true;
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    native_->exited = true;
    native_->exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return native_->exitCode;
}

void ChildProcess::kill() {
    if (native_->exited) return;
    ::kill(native_->pid, SIGKILL);
    int status = 0;
    while (::waitpid(native_->pid, &status, 0) < 0 && errno == EINTR) {
    }
    native_->exited = true;
}

}  // namespace tyvarion::sim

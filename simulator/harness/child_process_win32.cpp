#include "harness/child_process.h"

#include <windows.h>

#include <algorithm>
#include <thread>

namespace tyvarion::sim {
namespace {

std::wstring wide(const std::string& text) {
    if (text.empty()) return {};
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring result(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), result.data(), length);
    return result;
}

// Quotes one argument the way the C runtime splits a command line.
void appendQuoted(std::wstring& line, const std::wstring& argument) {
    if (!line.empty()) line += L' ';
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') line.append(backslashes * 2 + 1, L'\\');
        else line.append(backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

void closeHandle(HANDLE& handle) {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
    handle = nullptr;
}

}  // namespace

struct ChildProcess::Native {
    HANDLE process = nullptr;
    HANDLE input = nullptr;
    HANDLE output = nullptr;
    bool exited = false;
    int exitCode = -1;

    ~Native() {
        closeHandle(input);
        closeHandle(output);
        if (process != nullptr && !exited) {
            ::TerminateProcess(process, 1);
            ::WaitForSingleObject(process, 5000);
        }
        closeHandle(process);
    }
};

ChildProcess::ChildProcess(std::unique_ptr<Native> native) : native_(std::move(native)) {}
ChildProcess::~ChildProcess() = default;

std::unique_ptr<ChildProcess> ChildProcess::start(const std::string& program,
                                                  const std::vector<std::string>& arguments,
                                                  std::string& error) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE childInput = nullptr;
    HANDLE childOutput = nullptr;
    auto native = std::make_unique<Native>();
    if (!::CreatePipe(&childInput, &native->input, &inherit, 0)) {
        error = "CreatePipe failed";
        return nullptr;
    }
    if (!::CreatePipe(&native->output, &childOutput, &inherit, 0)) {
        closeHandle(childInput);
        error = "CreatePipe failed";
        return nullptr;
    }
    ::SetHandleInformation(native->input, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(native->output, HANDLE_FLAG_INHERIT, 0);

    std::wstring commandLine;
    appendQuoted(commandLine, wide(program));
    for (const std::string& argument : arguments) appendQuoted(commandLine, wide(argument));

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput;
    startup.hStdOutput = childOutput;
    startup.hStdError = childOutput;
    PROCESS_INFORMATION info{};
    const std::wstring path = wide(program);
    const BOOL created = ::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                          CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info);
    closeHandle(childInput);
    closeHandle(childOutput);
    if (!created) {
        error = "cannot start " + program + ": error " + std::to_string(::GetLastError());
        return nullptr;
    }
    ::CloseHandle(info.hThread);
    native->process = info.hProcess;
    return std::make_unique<ChildProcess>(std::move(native));
}

bool ChildProcess::read(std::string& output, std::chrono::milliseconds timeout) {
    if (native_->output == nullptr) {
        std::this_thread::sleep_for(std::min(timeout, std::chrono::milliseconds(10)));
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        DWORD available = 0;
        if (!::PeekNamedPipe(native_->output, nullptr, 0, nullptr, &available, nullptr)) {
            closeHandle(native_->output);  // the child's end is closed
            return false;
        }
        if (available != 0) break;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    char buffer[4096];
    DWORD count = 0;
    if (!::ReadFile(native_->output, buffer, sizeof buffer, &count, nullptr) || count == 0) {
        closeHandle(native_->output);
        return false;
    }
    output.append(buffer, count);
    return true;
}

void ChildProcess::closeInput() { closeHandle(native_->input); }

std::optional<int> ChildProcess::poll() {
    if (!native_->exited) {
        if (::WaitForSingleObject(native_->process, 0) != WAIT_OBJECT_0) return std::nullopt;
        DWORD code = 0;
        ::GetExitCodeProcess(native_->process, &code);
        native_->exited = true;
        native_->exitCode = static_cast<int>(code);
    }
    return native_->exitCode;
}

int ChildProcess::wait(std::chrono::milliseconds timeout) {
    if (native_->exited) return native_->exitCode;
    if (::WaitForSingleObject(native_->process, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
        ::TerminateProcess(native_->process, 1);
        ::WaitForSingleObject(native_->process, 5000);
        native_->exited = true;
        return -1;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(native_->process, &code);
    native_->exited = true;
    native_->exitCode = static_cast<int>(code);
    return native_->exitCode;
}

void ChildProcess::kill() {
    if (native_->exited) return;
    ::TerminateProcess(native_->process, 1);
    ::WaitForSingleObject(native_->process, INFINITE);
    native_->exited = true;
}

}  // namespace tyvarion::sim

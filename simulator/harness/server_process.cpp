#include "harness/server_process.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <string_view>

namespace tyvarion::sim {
namespace {

// Wine can take a while to start a program on a busy machine.
constexpr std::chrono::seconds kStartTimeout{30};
constexpr std::chrono::seconds kStopTimeout{30};
constexpr std::string_view kListening = "listening on 127.0.0.1:";

}  // namespace

std::string ServerProcess::program() {
    std::string path = TYVARION_SIM_SERVER_PATH;
#ifdef _WIN32
    // The build records a Linux path; under Wine it lives on drive Z:.
    if (!path.empty() && path.front() == '/') {
        for (char& c : path)
            if (c == '/') c = '\\';
        path = "Z:" + path;
    }
#endif
    return path;
}

void setClientEndpoint(const std::string& endpoint) {
#ifdef _WIN32
    _putenv_s("TYVARION_SERVER", endpoint.c_str());
#else
    ::setenv("TYVARION_SERVER", endpoint.c_str(), 1);
#endif
}

ServerProcess::ServerProcess(const std::vector<std::string>& arguments) {
    std::vector<std::string> all = arguments;
    all.insert(all.end(), {"--port", "0", "--exit-on-stdin-eof"});
    std::string error;
    child_ = ChildProcess::start(program(), all, error);
    if (!child_) {
        output_ = error;
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + kStartTimeout;
    while (output_.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        if (!child_->read(output_, std::chrono::milliseconds(100)) && child_->poll()) break;
    }
    const std::string_view first = std::string_view(output_).substr(0, output_.find('\n'));
    if (first.substr(0, kListening.size()) != kListening) {
        stop();
        return;
    }
    const std::string_view portText = first.substr(kListening.size());
    unsigned port = 0;
    const auto [end, status] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (status == std::errc{} && port > 0 && port <= 65535) port_ = static_cast<std::uint16_t>(port);
}

ServerProcess::~ServerProcess() { stop(); }

std::string ServerProcess::endpoint() const { return "127.0.0.1:" + std::to_string(port_); }

void ServerProcess::useForClients() const { setClientEndpoint(endpoint()); }

int ServerProcess::stop() {
    if (exitCode_) return *exitCode_;
    if (!child_) return -1;
    child_->closeInput();
    const auto deadline = std::chrono::steady_clock::now() + kStopTimeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!child_->read(output_, std::chrono::milliseconds(100)) && child_->poll()) {
            // Exited: collect what is still in the pipe.
            while (child_->read(output_, std::chrono::milliseconds(0))) {
            }
            break;
        }
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    exitCode_ = child_->wait(std::max(left, std::chrono::milliseconds(0)));
    port_ = 0;
    return *exitCode_;
}

std::optional<std::uint64_t> ServerProcess::samplesSent() const {
    constexpr std::string_view kSent = "sent ";
    const std::size_t at = output_.rfind("\nsent ");
    if (at == std::string::npos) return std::nullopt;
    const char* first = output_.data() + at + 1 + kSent.size();
    std::uint64_t count = 0;
    const auto [end, status] = std::from_chars(first, output_.data() + output_.size(), count);
    if (status != std::errc{} || std::string_view(end, output_.data() + output_.size() - end).substr(0, 7) != " sample")
        return std::nullopt;
    return count;
}

}  // namespace tyvarion::sim

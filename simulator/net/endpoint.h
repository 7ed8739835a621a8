#pragma once
// Where the simulated client finds the server: the environment variable
// TYVARION_SERVER ("host:port"), or 127.0.0.1 and the default port.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tyvarion::sim {

inline constexpr std::uint16_t kDefaultPort = 47813;
inline constexpr const char* kServerVariable = "TYVARION_SERVER";

struct Endpoint {
    std::string host;
    std::uint16_t port = kDefaultPort;
};

// "host:port" with a port of 1 to 65535 and a non-empty host.
std::optional<Endpoint> parseEndpoint(std::string_view text);

// The endpoint the environment names; nullopt when the variable is set but malformed.
std::optional<Endpoint> endpointFromEnvironment();

}  // namespace tyvarion::sim

#include "net/endpoint.h"

#include <charconv>
#include <cstdlib>

namespace tyvarion::sim {

std::optional<Endpoint> parseEndpoint(std::string_view text) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) return std::nullopt;
    const std::string_view portText = text.substr(colon + 1);
    unsigned port = 0;
    const auto [end, error] = std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (error != std::errc{} || end != portText.data() + portText.size() || port == 0 || port > 65535)
        return std::nullopt;
    return Endpoint{std::string(text.substr(0, colon)), static_cast<std::uint16_t>(port)};
}

std::optional<Endpoint> endpointFromEnvironment() {
    const char* value = std::getenv(kServerVariable);
    if (value == nullptr || *value == '\0') return Endpoint{"127.0.0.1", kDefaultPort};
    return parseEndpoint(value);
}

}  // namespace tyvarion::sim

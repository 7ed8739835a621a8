#include "recording-report/geometry.h"

#include <charconv>
#include <cmath>
#include <numbers>

namespace tyvarion::tools {
namespace {

struct Direction {
    double x, y, z;
};

Direction direction(const ScreenGeometry& screen, const GazePoint& point) {
    const double mmPerPxX = *screen.widthMm / screen.widthPx;
    const double mmPerPxY = *screen.heightMm / screen.heightPx;
    return {(point.x - screen.widthPx / 2.0) * mmPerPxX, (point.y - screen.heightPx / 2.0) * mmPerPxY,
            *screen.distanceMm};
}

std::optional<double> positiveNumber(std::string_view text, double high) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    if (!(value > 0 && value <= high)) return std::nullopt;
    return value;
}

}  // namespace

double visualAngleDegrees(const ScreenGeometry& screen, const GazePoint& a, const GazePoint& b) {
    const Direction u = direction(screen, a);
    const Direction v = direction(screen, b);
    const double crossX = u.y * v.z - u.z * v.y;
    const double crossY = u.z * v.x - u.x * v.z;
    const double crossZ = u.x * v.y - u.y * v.x;
    const double cross = std::sqrt(crossX * crossX + crossY * crossY + crossZ * crossZ);
    const double dot = u.x * v.x + u.y * v.y + u.z * v.z;
    // atan2 stays exact for the tiny angles of a precise signal, where acos does not.
    return std::atan2(cross, dot) * 180.0 / std::numbers::pi;
}

std::optional<std::pair<double, double>> parseSize(std::string_view text) {
    const std::size_t x = text.find('x');
    if (x == std::string_view::npos) return std::nullopt;
    const auto width = positiveNumber(text.substr(0, x), 1e6);
    const auto height = positiveNumber(text.substr(x + 1), 1e6);
    if (!width || !height) return std::nullopt;
    return std::pair{*width, *height};
}

bool takeGeometryOption(std::string_view name, std::string_view value, ScreenGeometry& screen,
                        std::string& error) {
    if (name == "--screen") {
        const auto size = parseSize(value);
        if (!size || size->first != std::floor(size->first) || size->second != std::floor(size->second) ||
            size->first > 100000 || size->second > 100000) {
            error = "--screen: expects WIDTHxHEIGHT in whole pixels, for example 1920x1080";
            return true;
        }
        screen.widthPx = static_cast<int>(size->first);
        screen.heightPx = static_cast<int>(size->second);
        return true;
    }
    if (name == "--screen-mm") {
        const auto size = parseSize(value);
        if (!size) {
            error = "--screen-mm: expects WIDTHxHEIGHT in millimetres, for example 531x299";
            return true;
        }
        screen.widthMm = size->first;
        screen.heightMm = size->second;
        return true;
    }
    if (name == "--distance-mm") {
        const auto distance = positiveNumber(value, 1e6);
        if (!distance) {
            error = "--distance-mm: expects a distance in millimetres, for example 650";
            return true;
        }
        screen.distanceMm = *distance;
        return true;
    }
    return false;
}

std::string geometryProblem(const ScreenGeometry& screen) {
    if (screen.widthMm && !screen.distanceMm) return "--screen-mm needs --distance-mm as well";
    if (screen.distanceMm && !screen.widthMm) return "--distance-mm needs --screen-mm as well";
    return {};
}

}  // namespace tyvarion::tools

#include "command-line/command_line.h"

#include <CLI/CLI.hpp>

namespace tyvarion::tools {
namespace {

// Carries an option's own refusal out of CLI11's parse.
struct Refused {
    std::string text;
};

CLI::callback_t taking(TakeValue take) {
    return [take = std::move(take)](const CLI::results_t& values) {
        for (const std::string& value : values) {
            if (std::string refusal = take(value); !refusal.empty()) throw Refused{std::move(refusal)};
        }
        return true;
    };
}

}  // namespace

CommandLine::CommandLine() : app_(std::make_unique<CLI::App>()) {
    app_->set_help_flag();
    app_->add_flag("-h,--help", help_);
    // Unknown arguments are collected and named in this project's words.
    app_->allow_extras();
}

CommandLine::~CommandLine() = default;

void CommandLine::flag(const std::string& names, bool& target) { app_->add_flag(names, target); }

void CommandLine::option(const std::string& names, TakeValue take) {
    app_->add_option(names, taking(std::move(take)))->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

void CommandLine::repeatable(const std::string& names, TakeValue take) {
    app_->add_option(names, taking(std::move(take)))->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

void CommandLine::positionals(const std::string& name, std::vector<std::string>& target) {
    app_->add_option(name, target);
}

std::optional<std::string> CommandLine::parse(std::span<const std::string_view> arguments) {
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
    try {
        app_->parse(reversed);
    } catch (const Refused& refused) {
        return refused.text;
    } catch (const CLI::ArgumentMismatch& mismatch) {
        // An option that takes a value ends the command line ("--trials" or "--trials=").
        const std::string last = arguments.empty() ? std::string() : std::string(arguments.back());
        const std::string name = last.substr(0, last.find('='));
        if (!name.empty() && app_->get_option_no_throw(name) != nullptr) return name + ": missing value";
        return std::string(mismatch.what());
    } catch (const CLI::ParseError& error) {
        return std::string(error.what());
    }
    const std::vector<std::string> unknown = app_->remaining();
    if (!unknown.empty()) return "unknown option " + unknown.front();
    return std::nullopt;
}

std::variant<std::filesystem::path, std::string> oneRecording(const std::vector<std::string>& positionals) {
    if (positionals.empty()) return std::string("no recording given");
    if (positionals.size() > 1) return std::string("more than one recording given");
    return std::filesystem::u8path(positionals.front());
}

int refuseCommandLine(const char* program, const std::string& error) {
    std::fprintf(stderr, "%s: %s\nsee --help\n", program, error.c_str());
    return 2;
}

}  // namespace tyvarion::tools

// Subcommands of dmm register themselves here; each lives in a file of its own.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace dmm::cli {

// A subcommand gets its arguments after the subcommand name and returns the exit code.
using CommandFn = std::function<int(const std::vector<std::string>& args)>;

struct CommandRegistrar {
    CommandRegistrar(const char* name, const char* usage, CommandFn fn);
};

} // namespace dmm::cli

#include "Command.h"
#include "CommandLine.h"

#include <cstdio>
#include <map>

namespace dmm::cli {

namespace {
struct Entry {
    std::string usage;
    CommandFn fn;
};
std::map<std::string, Entry>& registry() {
    static std::map<std::string, Entry> commands;
    return commands;
}

void usage(FILE* out) {
    std::fprintf(out, "usage: dmm <command> [options]\n       dmm <command> --help\n\ncommands:\n");
    for (const auto& [name, entry] : registry()) std::fprintf(out, "  %s\n", entry.usage.c_str());
}
} // namespace

CommandRegistrar::CommandRegistrar(const char* name, const char* usageText, CommandFn fn) {
    registry()[name] = Entry{withFamilyChoices(usageText), std::move(fn)};
}

} // namespace dmm::cli

int main(int argc, char** argv) {
    using namespace dmm::cli;
    if (argc < 2) {
        usage(stderr);
        return 2;
    }
    std::string name = argv[1];
    if (name == "-h" || name == "--help" || name == "help") {
        usage(stdout);
        return 0;
    }
    if (name == "--version") {
        std::printf("dmm %s\n", DMM_VERSION);
        return 0;
    }
    auto it = registry().find(name);
    if (it == registry().end()) {
        std::fprintf(stderr, "dmm: unknown command '%s'\n\n", name.c_str());
        usage(stderr);
        return 2;
    }
    return it->second.fn(std::vector<std::string>(argv + 2, argv + argc));
}

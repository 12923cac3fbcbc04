// One subcommand's command line, parsed by QCommandLineParser, so that every command takes
// --help and --version alike and reports a usage error the same way: "dmm CMD: what" on standard
// error and exit code 2.
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <optional>
#include <string>
#include <vector>

namespace dmm::cli {

// `text` with "{families}" replaced by the protocol families' names as choices, so that usage
// texts name the families from their table.
std::string withFamilyChoices(std::string text);

class CommandLine {
public:
    // `synopsis` is the usage line after "dmm ", `description` the text under it.
    CommandLine(std::string command, std::string synopsis, std::string description);

    void addOption(const QCommandLineOption& option);
    // A value option: --name VALUE or --name=VALUE.
    void addValueOption(const QString& name, const QString& valueName, const QString& help);
    void addFlag(const QString& name, const QString& help);

    // Parses the arguments after the command's name. Empty: go on. Otherwise the exit code:
    // 0 after --help or --version was printed, 2 after a usage error. Arguments are UTF-8 text:
    // one that is not valid UTF-8 is a usage error, rather than being changed (to U+FFFD) into a
    // file name, topic or address the user did not give.
    std::optional<int> parse(const std::vector<std::string>& args);

    bool isSet(const QString& name) const { return parser_.isSet(name); }
    std::string value(const QString& name) const;
    std::vector<std::string> values(const QString& name) const;
    std::vector<std::string> positional() const;

    // A usage error found after parsing; returns 2.
    int usageError(const std::string& message) const;
    std::string helpText() const;

private:
    std::string command_;
    std::string synopsis_;
    std::string description_;
    QCommandLineParser parser_;
};

} // namespace dmm::cli

#include "CommandLine.h"

#include "MeterFamily.h"

#include <QStringDecoder>
#include <QStringList>

#include <cstdio>

#ifndef DMM_VERSION
#define DMM_VERSION "0"
#endif

namespace dmm::cli {

namespace {

std::string utf8(const QString& s) {
    return s.toUtf8().toStdString();
}

} // namespace

std::string withFamilyChoices(std::string text) {
    static const std::string key = "{families}";
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at))
        text.replace(at, key.size(), meterFamilyChoices());
    return text;
}

CommandLine::CommandLine(std::string command, std::string synopsis, std::string description)
    : command_(std::move(command)), synopsis_(withFamilyChoices(std::move(synopsis))),
      description_(withFamilyChoices(std::move(description))) {
    parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser_.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                         QStringLiteral("Show this help and exit.")));
    parser_.addOption(QCommandLineOption(QStringLiteral("version"),
                                         QStringLiteral("Show the version and exit.")));
}

void CommandLine::addOption(const QCommandLineOption& option) {
    parser_.addOption(option);
}

void CommandLine::addValueOption(const QString& name, const QString& valueName,
                                 const QString& help) {
    parser_.addOption(QCommandLineOption(name, help, valueName));
}

void CommandLine::addFlag(const QString& name, const QString& help) {
    parser_.addOption(QCommandLineOption(name, help));
}

std::optional<int> CommandLine::parse(const std::vector<std::string>& args) {
    QStringList list{QStringLiteral("dmm")};
    for (std::size_t i = 0; i < args.size(); ++i) {
        QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        list << decode(QByteArrayView(args[i].data(), qsizetype(args[i].size())));
        if (decode.hasError())
            return usageError("argument " + std::to_string(i + 1) + " is not valid UTF-8");
    }
    if (!parser_.parse(list)) return usageError(utf8(parser_.errorText()));
    if (parser_.isSet(QStringLiteral("help"))) {
        std::fputs(helpText().c_str(), stdout);
        return 0;
    }
    if (parser_.isSet(QStringLiteral("version"))) {
        std::printf("dmm %s %s\n", command_.c_str(), DMM_VERSION);
        return 0;
    }
    return std::nullopt;
}

std::string CommandLine::value(const QString& name) const {
    return utf8(parser_.value(name));
}

std::vector<std::string> CommandLine::values(const QString& name) const {
    std::vector<std::string> out;
    for (const QString& v : parser_.values(name)) out.push_back(utf8(v));
    return out;
}

std::vector<std::string> CommandLine::positional() const {
    std::vector<std::string> out;
    for (const QString& v : parser_.positionalArguments()) out.push_back(utf8(v));
    return out;
}

int CommandLine::usageError(const std::string& message) const {
    std::fprintf(stderr, "dmm %s: %s\nusage: dmm %s\n(dmm %s --help for more)\n", command_.c_str(),
                 message.c_str(), synopsis_.c_str(), command_.c_str());
    return 2;
}

std::string CommandLine::helpText() const {
    // QCommandLineParser's own text names the program as started; this one names the command.
    std::string text = "usage: dmm " + synopsis_ + "\n";
    if (!description_.empty()) text += "\n" + description_ + "\n";
    std::string options = utf8(parser_.helpText());
    const auto at = options.find("Options:");
    if (at != std::string::npos) text += "\n" + options.substr(at);
    return text;
}

} // namespace dmm::cli

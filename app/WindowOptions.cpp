#include "WindowOptions.h"

#include <QCommandLineOption>

#include <cstdio>

#ifndef DMM_VERSION
#define DMM_VERSION "0"
#endif

namespace dmm::app {

namespace {

void print(std::FILE* to, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), to);
}

const QCommandLineOption& helpOption() {
    static const QCommandLineOption option({QStringLiteral("h"), QStringLiteral("help")},
                                           QStringLiteral("Show this help and exit."));
    return option;
}

const QCommandLineOption& versionOption() {
    static const QCommandLineOption option(QStringLiteral("version"),
                                           QStringLiteral("Show the version and exit."));
    return option;
}

// --mqtt URL [--mqtt-cafile FILE]
const QCommandLineOption& mqttOption() {
    static const QCommandLineOption option(
        QStringLiteral("mqtt"),
        QStringLiteral("Also publish every recorded row to an MQTT broker: "
                       "mqtt://[USER@]HOST[:PORT]/PREFIX or mqtts://... (the password from "
                       "DMM_MQTT_PASSWORD)."),
        QStringLiteral("URL"));
    return option;
}

const QCommandLineOption& mqttCaFileOption() {
    static const QCommandLineOption option(
        QStringLiteral("mqtt-cafile"),
        QStringLiteral("The CA certificates to trust for mqtts:// (default: the system's)."),
        QStringLiteral("FILE"));
    return option;
}

void addMqttOptions(QCommandLineParser& parser) {
    parser.addOption(mqttOption());
    parser.addOption(mqttCaFileOption());
}

QString readMqttOptions(const QCommandLineParser& parser, WindowOptions& options) {
    if (parser.isSet(mqttCaFileOption()) && !parser.isSet(mqttOption()))
        return QStringLiteral("--mqtt-cafile needs --mqtt");
    options.mqttUrl = parser.value(mqttOption());
    options.mqttCaFile = parser.value(mqttCaFileOption());
    return {};
}

// --scpi ---------------------------------------------------------------------------------------
const QCommandLineOption& scpiOption() {
    static const QCommandLineOption option(
        QStringLiteral("scpi"),
        QStringLiteral("Answer SCPI queries (READ?, *IDN? ...) for the meter's reading on a TCP "
                       "port; ADDR is 127.0.0.1 unless named. No authentication."),
        QStringLiteral("[ADDR:]PORT"));
    return option;
}

// An error text, empty when --scpi is absent or sound.
QString readScpiOption(const QCommandLineParser& parser, WindowOptions& options) {
    if (!parser.isSet(scpiOption())) return {};
    scpi::ScpiAddress where;
    const QString error = scpi::ScpiAddress::parse(parser.value(scpiOption()), where);
    if (!error.isEmpty()) return QStringLiteral("--scpi ") + error;
    options.scpi = where;
    return {};
}
// ----------------------------------------------------------------------------------------------

// --http ---------------------------------------------------------------------------------------
const QCommandLineOption& httpOption() {
    static const QCommandLineOption option(
        QStringLiteral("http"),
        QStringLiteral("Serve a live, read-only web page of the meter on a TCP port; ADDR is "
                       "127.0.0.1 unless named, and beyond it a token is asked. No TLS."),
        QStringLiteral("[ADDR:]PORT"));
    return option;
}

QString readHttpOption(const QCommandLineParser& parser, WindowOptions& options) {
    if (!parser.isSet(httpOption())) return {};
    scpi::ScpiAddress where;
    const QString error = scpi::ScpiAddress::parse(parser.value(httpOption()), where);
    if (!error.isEmpty()) return QStringLiteral("--http ") + error;
    options.http = where;
    return {};
}
// ----------------------------------------------------------------------------------------------

void describe(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QStringLiteral("The bench program of the handheld multimeter: the LCD mirror, the "
                       "readings table, the trend chart and the limit judge."));
    parser.addOption(helpOption());
    parser.addOption(versionOption());
    addMqttOptions(parser);
    parser.addOption(scpiOption());
    parser.addOption(httpOption()); // --http
}

ParsedWindowOptions exitWith(int code) {
    ParsedWindowOptions out;
    out.exitCode = code;
    return out;
}

} // namespace

std::optional<int> answerHelpOrVersion(const QStringList& arguments) {
    QCommandLineParser parser;
    describe(parser);
    const QStringList names = helpOption().names() + versionOption().names();
    for (const QString& arg : arguments.mid(1)) {
        QString name = arg;
        while (name.startsWith(QLatin1Char('-'))) name.remove(0, 1);
        if (!arg.startsWith(QLatin1Char('-')) || !names.contains(name)) continue;
        if (versionOption().names().contains(name)) {
            print(stdout, QStringLiteral("dmm-interface %1\n").arg(QLatin1String(DMM_VERSION)));
        } else {
            // Asked before the application object exists, the parser cannot name the program.
            print(stdout, parser.helpText().replace(QLatin1String("<executable_name>"),
                                                    QLatin1String("dmm-interface")));
        }
        return 0;
    }
    return std::nullopt;
}

ParsedWindowOptions parseWindowOptions(const QStringList& arguments) {
    if (const std::optional<int> answered = answerHelpOrVersion(arguments))
        return exitWith(*answered);
    QCommandLineParser parser;
    describe(parser);
    QString error;
    ParsedWindowOptions parsed;
    if (!parser.parse(arguments))
        error = parser.errorText();
    else if (!parser.positionalArguments().isEmpty())
        error = QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments()[0]);
    else
        error = readMqttOptions(parser, parsed.options);
    if (error.isEmpty()) error = readScpiOption(parser, parsed.options); // --scpi
    if (error.isEmpty()) error = readHttpOption(parser, parsed.options); // --http
    if (!error.isEmpty()) {
        print(stderr,
              QStringLiteral("dmm-interface: %1\n(dmm-interface --help for more)\n").arg(error));
        return exitWith(2);
    }
    return parsed;
}

} // namespace dmm::app

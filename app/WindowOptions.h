// The window's command line. Started without options the window is the plain bench program;
// every option adds an output beside it and changes nothing else.
#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

// --scpi
#include "ScpiAddress.h"

#include <optional>

namespace dmm::app {

struct WindowOptions {
    // --mqtt URL [--mqtt-cafile FILE]: every recorded row also to an MQTT broker. Empty: no
    // publishing. The URL is read by the publisher (RowPublisher::create).
    QString mqttUrl;
    QString mqttCaFile;

    // --scpi [ADDR:]PORT: the SCPI server answering from the window's last decoded reading.
    std::optional<scpi::ScpiAddress> scpi;

    // --http [ADDR:]PORT: the live web page of the window's readings (same address form).
    std::optional<scpi::ScpiAddress> http;
};

// Parses `arguments` (the program's name first, as QCoreApplication::arguments() gives them,
// after Qt took its own). Empty options and an exit code: --help or --version was printed (0),
// or a usage error was (2).
struct ParsedWindowOptions {
    WindowOptions options;
    std::optional<int> exitCode;
};
ParsedWindowOptions parseWindowOptions(const QStringList& arguments);

// --help or --version anywhere in `arguments` (the raw command line): prints the answer and
// gives 0. The program asks this before it opens its display, so both work without one.
std::optional<int> answerHelpOrVersion(const QStringList& arguments);

} // namespace dmm::app

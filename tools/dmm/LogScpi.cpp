#include "LogScpi.h"

#include <cstdio>

namespace dmm::cli {

void addScpiOption(CommandLine& cl) {
    cl.addValueOption(QStringLiteral("scpi"), QStringLiteral("[ADDR:]PORT"),
                      QStringLiteral("Answer SCPI queries (READ?, *IDN? ...) on a TCP port; ADDR "
                                     "is 127.0.0.1 unless named. No authentication."));
}

std::string readScpiOption(const CommandLine& cl, std::optional<scpi::ScpiAddress>& where) {
    if (!cl.isSet(QStringLiteral("scpi"))) return {};
    scpi::ScpiAddress a;
    const QString error =
        scpi::ScpiAddress::parse(QString::fromStdString(cl.value(QStringLiteral("scpi"))), a);
    if (!error.isEmpty()) return "--scpi " + error.toStdString();
    where = a;
    return {};
}

std::unique_ptr<scpi::ScpiServer> startScpiServer(const scpi::ScpiAddress& where,
                                                  scpi::MeterWatch& watch) {
    auto server = std::make_unique<scpi::ScpiServer>([&watch] { return watch.reading(); });
    const QString error = server->listen(where);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "dmm log: %s\n", error.toLocal8Bit().constData());
        return nullptr;
    }
    std::fprintf(stderr, "dmm log: SCPI server on %s\n",
                 server->address().toString().toLocal8Bit().constData());
    return server;
}

} // namespace dmm::cli

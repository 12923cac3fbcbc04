#include "LogWeb.h"

#include "FileCsvStream.h"
#include "MeterFamily.h"

#include <cstdio>

namespace dmm::cli {

void addHttpOption(CommandLine& cl) {
    cl.addValueOption(QStringLiteral("http"), QStringLiteral("[ADDR:]PORT"),
                      QStringLiteral("Serve a live, read-only web page of the meter on a TCP "
                                     "port; ADDR is 127.0.0.1 unless named, and beyond it a "
                                     "token is asked. No TLS."));
}

std::string readHttpOption(const CommandLine& cl, std::optional<scpi::ScpiAddress>& where) {
    if (!cl.isSet(QStringLiteral("http"))) return {};
    scpi::ScpiAddress a;
    const QString error =
        scpi::ScpiAddress::parse(QString::fromStdString(cl.value(QStringLiteral("http"))), a);
    if (!error.isEmpty()) return "--http " + error.toStdString();
    where = a;
    return {};
}

LogWeb startWebPage(const scpi::ScpiAddress& where, const TCommPortDriver& port, const LogFile& out,
                    bool csvOut) {
    LogWeb web;
    QString csvPath;
    if (csvOut && out.isFile()) {
        csvPath = QString::fromStdString(out.path());
    } else {
        web.spill = std::make_unique<web::CsvSpill>();
        csvPath = web.spill->path();
    }
    // The title the window shows for the model dmm log reads.
    const QString title =
        QStringLiteral("%1 Interface Program Ver: 3.00")
            .arg(QString::fromUtf8(shippedModel().name.data(),
                                   static_cast<qsizetype>(shippedModel().name.size())));
    web::CsvSpill* spill = web.spill.get();
    web.page = std::make_unique<web::WebPage>(
        [&port] { return port.IsDevicePresent(); }, [title] { return title; },
        [csvPath, spill]() -> std::unique_ptr<web::CsvStream> {
            // A spill that failed would give a short file that looks whole.
            if (spill && !spill->error().isEmpty())
                return std::make_unique<web::FileCsvStream>(QString());
            return std::make_unique<web::FileCsvStream>(csvPath);
        });
    const QString error = web.page->start(where.address, where.port);
    if (!error.isEmpty()) {
        std::fprintf(stderr, "dmm log: %s\n", error.toLocal8Bit().constData());
        web.page.reset();
        return web;
    }
    std::fprintf(stderr, "dmm log: %s\n", web.page->note().toLocal8Bit().constData());
    return web;
}

} // namespace dmm::cli

// dmm log --http [ADDR:]PORT: the live web page beside the logger. Its /readings.csv is the
// output file when that is a CSV file, else the rows of this run (CsvSpill); the link is the
// port's presence.
#pragma once

#include "ComDrv32.h"
#include "CommandLine.h"
#include "CsvSpill.h"
#include "LogFile.h"
#include "ScpiAddress.h"
#include "WebPage.h"

#include <memory>
#include <optional>
#include <string>

namespace dmm::cli {

struct LogWeb {
    std::unique_ptr<web::CsvSpill> spill; // without a CSV output file
    std::unique_ptr<web::WebPage> page;
};

void addHttpOption(CommandLine& cl);
// Reads --http into `where` (left empty without it); an error text, empty when sound.
std::string readHttpOption(const CommandLine& cl, std::optional<scpi::ScpiAddress>& where);
// Listens on `where` and says so on standard error (the address to open, with the token when
// one is asked), or says why not and gives an empty page.
LogWeb startWebPage(const scpi::ScpiAddress& where, const TCommPortDriver& port, const LogFile& out,
                    bool csvOut);

} // namespace dmm::cli

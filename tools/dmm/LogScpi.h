// dmm log --scpi [ADDR:]PORT: the SCPI server beside the logger, answering from the last
// decoded frame. The logger's own road is untouched: the server runs on its event loop and only
// reads the reading the watch copied.
#pragma once

#include "CommandLine.h"
#include "MeterWatch.h"
#include "ScpiAddress.h"
#include "ScpiServer.h"

#include <memory>
#include <optional>
#include <string>

namespace dmm::cli {

void addScpiOption(CommandLine& cl);
// Reads --scpi into `where` (left empty without it); an error text, empty when sound.
std::string readScpiOption(const CommandLine& cl, std::optional<scpi::ScpiAddress>& where);
// Listens on `where` and says so on standard error, or says why not and gives null.
std::unique_ptr<scpi::ScpiServer> startScpiServer(const scpi::ScpiAddress& where,
                                                  scpi::MeterWatch& watch);

} // namespace dmm::cli

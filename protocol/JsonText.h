#pragma once
// JSON string quoting shared by the command-line tool and the simulator's frame log, whose
// lines scripts and tests read back with an ordinary JSON parser.
#include <string>
#include <string_view>

namespace dmm {

// Appends s as a quoted JSON string. Control bytes are escaped; bytes of 0x80 and above pass
// unchanged, so UTF-8 text stays UTF-8.
void appendJsonString(std::string& out, std::string_view s);

} // namespace dmm

// A program message (one line, its line end removed) cut into commands. Commands are separated
// by ';' outside double quotes; a header is mnemonics joined by ':' (a leading ':' allowed), each
// in its long or its short form (the upper-case letters of the long form), in any case, and a
// query ends in '?'. Every command is read from the root of the tree: the server knows no
// command whose path a following one could continue.
//
// Our own code: Debian carries no SCPI parser library, and eleven fixed headers without
// parameters need no more than this table.
#pragma once

#include "ScpiCommand.h"

#include <QByteArrayView>

#include <vector>

namespace dmm::scpi {

class ScpiParser {
public:
    // The commands of `line` in order; empty commands (";;", a trailing ';') are skipped.
    static std::vector<ScpiCommand> parse(QByteArrayView line);
    // One command's text, blanks around it allowed.
    static ScpiCommand parseCommand(QByteArrayView text);
    // True when `mnemonic` is the long or the short form of `pattern` ("FETCh": FETCH, FETC).
    static bool matches(QByteArrayView mnemonic, QByteArrayView pattern);
};

} // namespace dmm::scpi

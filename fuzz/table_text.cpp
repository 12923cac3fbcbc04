// The text data file's loader on any bytes (see TableFuzz.h for what is checked).
#include "TableFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dmm;
    using namespace dmm::fuzz;
    const QByteArray x(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    ReadingsTable t;
    fillBefore(t);
    // Failed or not, the rows before are untouched; a file rejected before its first data row
    // leaves exactly them.
    load(Format::Text, x, t);
    checkRowsBeforeKept(t);
    checkFixedPoint(Format::Text, Format::Text, x);
    checkFixedPoint(Format::Text, Format::Xml, x);
    return 0;
}

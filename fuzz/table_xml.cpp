// The XML table file's loader on any bytes (see TableFuzz.h for what is checked). A failed
// XML load changes nothing at all.
#include "TableFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dmm;
    using namespace dmm::fuzz;
    const QByteArray x(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    ReadingsTable t;
    fillBefore(t);
    const QString error = load(Format::Xml, x, t);
    if (!error.isEmpty()) {
        DMM_CHECK(t.size() == 2);
        checkRowsBeforeKept(t);
    }
    checkFixedPoint(Format::Xml, Format::Xml, x);
    checkFixedPoint(Format::Xml, Format::Text, x);
    return 0;
}

// The fast reader of the XML table file against the general one (QXmlStreamReader) on any
// bytes: whatever the fast reader loads, the general reader loads too, with the same rows.
// A file the fast reader declines agrees by definition (the general reader then has the say).
#include "TableFuzz.h"
#include "XmlPacketReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dmm;
    QByteArray x(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer fastIn(&x);
    fastIn.open(QIODevice::ReadOnly);
    ReadingsTable fast;
    if (XmlPacketReader::read(fastIn, fast, {}) != XmlPacketReader::Outcome::Loaded) return 0;
    QBuffer generalIn(&x);
    generalIn.open(QIODevice::ReadOnly);
    ReadingsTable general;
    DMM_CHECK(loadReadingsXmlStreamed(generalIn, general).isEmpty());
    DMM_CHECK(general.size() == fast.size());
    for (int i = 0; i < fast.size(); ++i) DMM_CHECK(general.row(i) == fast.row(i));
    return 0;
}

// A fast reader of the XML table file for the one shape this program writes (SaveReadingsXml):
// the same head byte for byte, one "<ROW .../>" line per row with its attributes in field order
// and escaped as the writer escapes them, and the same tail. It scans the bytes of a block read
// into a reused buffer and interns the texts straight into the table's pool, where the general
// reader (QXmlStreamReader) builds tokens, attribute lists and a QString per value.
//
// Anything else, well-formed or not (another writer's layout, a byte order mark, CR LF line
// ends, other entities, a value that does not convert, a row longer than kMaxRowBytes), it
// declines without a word, and the caller reads the file again from its start with the general
// reader, which accepts it or names what is wrong in its own words. So the two can never
// disagree on a file the fast one loads: the same rows, the same texts.
#pragma once

#include "DataFiles.h"
#include "ReadingsTable.h"

#include <QByteArray>
#include <QIODevice>

#include <array>

namespace dmm {

class XmlPacketReader {
public:
    enum class Outcome { Loaded, Declined, Cancelled };
    // No row the writer writes comes near this (seven attributes of at most 20 characters
    // escaped); a longer one is declined, which bounds what the reader holds besides its block.
    static constexpr qsizetype kMaxRowBytes = 4096;

    // Reads `in` from where it stands into `staged` (which the caller hands over on Loaded and
    // drops otherwise). `progress` is called before every read, the first one included, and
    // cancels the load when it returns false.
    static Outcome read(QIODevice& in, ReadingsTable& staged, const LoadProgressFn& progress);

    // The packet as the writer lays it out: everything up to and including the ROWDATA start
    // tag and its line end, the ROW attribute names in field order ("dc/ac" as "dc_x002F_ac"),
    // and everything after the last ROW.
    static const QByteArray& head();
    static const std::array<QByteArray, kFieldCount>& rowNames();
    static constexpr const char* kTail = "</ROWDATA>\n</DATAPACKET>\n";
};

// The general reader of LoadReadingsXml alone, for the fuzz target that compares the two.
QString loadReadingsXmlStreamed(QIODevice& in, ReadingsTable& table,
                                const LoadProgressFn& progress = {});

} // namespace dmm

// The XML table file: a data packet of METADATA (the seven fields and their types) and ROWDATA
// (one ROW per row, one attribute per non-empty field).
//
// A file in the shape the writer writes is read by XmlPacketReader; any other is read as a
// stream with QXmlStreamReader. Either way memory follows the rows, not the file's size. Beyond
// what QXmlStreamReader checks itself (well-formedness, the encoding by byte order mark or
// declaration: UTF-8 with or without a mark, UTF-16, ...), the loader refuses a document type
// declaration (and with it every entity of its own), text or CDATA where the packet has none;
// namespaces are not interpreted (an xmlns attribute on a ROW is an unknown field). Comments and
// processing instructions are skipped wherever they stand.
#include "DataFiles.h"
#include "RowsWriter.h"

#include "WatchedReadDevice.h"
#include "XmlPacketReader.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <array>
#include <charconv>
#include <vector>

namespace dmm {

namespace {

constexpr Field kTextFields[] = {Field::Time, Field::DcAc, Field::Value, Field::Unit, Field::Auto};
constexpr int kBatchRows = 4096;
// No token of a table file comes near this; the reader holds a token whole before returning
// it, so this bounds what one token (an endless attribute, comment or DTD) can cost.
constexpr qint64 kMaxTokenBytes = qint64(1) << 20;

const std::array<QByteArray, kFieldCount>& xmlNames() {
    return XmlPacketReader::rowNames();
}

bool xmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// XML 1.0 cannot carry these characters in any form, escaped or not.
bool xmlCarries(QStringView text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 >= text.size() || !QChar::isLowSurrogate(text[i + 1].unicode())) return false;
            ++i;
        } else if (QChar::isLowSurrogate(c) || !xmlChar(c)) {
            return false;
        }
    }
    return true;
}

// The escape of a character in an attribute value, or nothing for a character that stands as
// it is. Literal whitespace in an attribute value would read back as a space.
const char* escapeOf(char c) {
    switch (c) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '"':
        return "&quot;";
    case '\t':
        return "&#9;";
    case '\n':
        return "&#10;";
    case '\r':
        return "&#13;";
    default:
        return nullptr;
    }
}

// Writes `text` escaped at `d`, which has room for six bytes a UTF-16 unit, and returns the end.
// A text of printable ASCII without markup characters, what a meter writes, is copied unit by
// unit; anything else is converted to UTF-8 and escaped.
char* putEscaped(char* d, QStringView text) {
    char* out = d;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x20 || u >= 0x80 || escapeOf(static_cast<char>(u))) {
            out = d;
            for (char c : text.toUtf8()) {
                const char* e = escapeOf(c);
                if (!e) *out++ = c;
                while (e && *e) *out++ = *e++;
            }
            return out;
        }
        *out++ = static_cast<char>(u);
    }
    return out;
}

// An integer attribute longer than this is no 32-bit number the packet's writers would write.
constexpr std::size_t kMaxIntegerChars = 16;

std::optional<std::int32_t> parseInt32(const char* p, std::size_t n) {
    if (n > kMaxIntegerChars) return std::nullopt;
    return parseFieldInteger(QByteArrayView(p, static_cast<qsizetype>(n)));
}

int matchField(QStringView attributeName) {
    const auto& names = xmlNames();
    for (int i = 0; i < kFieldCount; ++i)
        if (attributeName.compare(QLatin1String(names[i]), Qt::CaseInsensitive) == 0) return i;
    return -1;
}

// One <ROW/> line: the fields that are not empty, as attributes. The line is written through
// a pointer into room made for it at once: an escaped character takes at most six bytes.
auto appendXmlRow(const ReadingsTable& table) {
    return [&table, &names = xmlNames()](QByteArray& buf, int r) {
        std::array<QStringView, kFieldCount> texts;
        qsizetype bound = 8;
        for (int i = 0; i < kFieldCount; ++i) {
            const auto f = static_cast<Field>(i);
            if (!isIntegerField(f)) texts[i] = table.textView(r, f);
            bound += names[i].size() + 4 + 12 + 6 * texts[i].size();
        }
        const qsizetype start = buf.size();
        buf.resize(start + bound);
        char* d = buf.data() + start;
        auto put = [&d](QByteArrayView bytes) { d = std::copy(bytes.begin(), bytes.end(), d); };
        put("<ROW");
        for (int i = 0; i < kFieldCount; ++i) {
            const auto f = static_cast<Field>(i);
            if (table.isEmpty(r, f)) continue;
            *d++ = ' ';
            put(names[i]);
            put("=\"");
            if (isIntegerField(f)) {
                d = std::to_chars(d, d + 12, *table.integer(r, f)).ptr;
            } else {
                d = putEscaped(d, texts[i]);
            }
            *d++ = '"';
        }
        put("/>\n");
        buf.resize(d - buf.constData());
    };
}

} // namespace

QString SaveReadingsXml(const ReadingsTable& table, QIODevice& out, const ProgressFn& progress) {
    if (!out.isOpen() || !out.isWritable())
        return QStringLiteral("the file is not open for writing");
    const int rows = table.size();
    for (int r = 0; r < rows; ++r)
        for (Field f : kTextFields)
            if (!xmlCarries(table.textView(r, f)))
                return QStringLiteral("Row %1: field %2 holds a character that XML cannot carry")
                    .arg(r + 1)
                    .arg(QLatin1String(fieldName(f)));

    const QString error = writeRows(table, out, progress, XmlPacketReader::head(), 128,
                                    appendXmlRow(table), QByteArray(XmlPacketReader::kTail));
    return error.isEmpty() ? error : QStringLiteral("Could not write the XML table file: ") + error;
}

namespace {

using Token = QXmlStreamReader::TokenType;

// The next token that matters to the packet: a start or end tag or the end of the document
// (QXmlStreamReader::Invalid on failure). Comments, processing instructions and whitespace
// between tags pass; text, CDATA, a DTD and entity references fail.
Token nextToken(QXmlStreamReader& x, WatchedReadDevice& dev) {
    for (;;) {
        const Token t = x.readNext();
        dev.tokenSeen();
        switch (t) {
        case QXmlStreamReader::StartDocument:
        case QXmlStreamReader::Comment:
        case QXmlStreamReader::ProcessingInstruction:
            continue;
        case QXmlStreamReader::Characters:
            if (x.isWhitespace() && !x.isCDATA()) continue;
            x.raiseError(QStringLiteral("text where the table file has none"));
            return QXmlStreamReader::Invalid;
        case QXmlStreamReader::DTD:
            x.raiseError(QStringLiteral("a document type declaration is not accepted"));
            return QXmlStreamReader::Invalid;
        case QXmlStreamReader::EntityReference:
            x.raiseError(QStringLiteral("an unknown entity"));
            return QXmlStreamReader::Invalid;
        default:
            return t;
        }
    }
}

bool expectStart(QXmlStreamReader& x, WatchedReadDevice& dev, const char* name) {
    const Token t = nextToken(x, dev);
    if (t == QXmlStreamReader::Invalid) return false;
    if (t != QXmlStreamReader::StartElement) {
        x.raiseError(QStringLiteral("missing element %1").arg(QLatin1String(name)));
        return false;
    }
    if (x.qualifiedName() != QLatin1String(name)) {
        x.raiseError(QStringLiteral("element %1 where %2 was expected")
                         .arg(x.qualifiedName(), QLatin1String(name)));
        return false;
    }
    return true;
}

bool expectEnd(QXmlStreamReader& x, WatchedReadDevice& dev) {
    const Token t = nextToken(x, dev);
    if (t == QXmlStreamReader::EndElement) return true;
    if (t != QXmlStreamReader::Invalid)
        x.raiseError(QStringLiteral("unexpected content in an element"));
    return false;
}

// Reads up to the end of the element just started, whatever it holds.
bool skipElement(QXmlStreamReader& x, WatchedReadDevice& dev) {
    for (int depth = 1; depth > 0;) {
        const Token t = nextToken(x, dev);
        if (t == QXmlStreamReader::StartElement)
            ++depth;
        else if (t == QXmlStreamReader::EndElement)
            --depth;
        else
            return false;
    }
    return true;
}

// From the root's start tag to the start of ROWDATA.
bool readHead(QXmlStreamReader& x, WatchedReadDevice& dev) {
    if (!expectStart(x, dev, "DATAPACKET")) return false;
    if (x.attributes().value(QLatin1String("Version")) != QLatin1String("2.0")) {
        x.raiseError(QStringLiteral("DATAPACKET Version is not 2.0"));
        return false;
    }
    if (!expectStart(x, dev, "METADATA") || !expectStart(x, dev, "FIELDS")) return false;
    for (int i = 0; i < kFieldCount; ++i) {
        if (!expectStart(x, dev, "FIELD")) return false;
        const auto f = static_cast<Field>(i);
        const char* type = isIntegerField(f) ? "i4" : "string";
        const QXmlStreamAttributes a = x.attributes();
        if (fieldByName(a.value(QLatin1String("attrname"))) != f ||
            a.value(QLatin1String("fieldtype")) != QLatin1String(type)) {
            x.raiseError(QStringLiteral("field %1 must be %2 of type %3")
                             .arg(i + 1)
                             .arg(QLatin1String(fieldName(f)), QLatin1String(type)));
            return false;
        }
        if (!expectEnd(x, dev)) return false;
    }
    if (!expectEnd(x, dev)) return false; // FIELDS
    // PARAMS and whatever else the metadata holds is not ours to read.
    for (;;) {
        const Token t = nextToken(x, dev);
        if (t == QXmlStreamReader::EndElement) break;
        if (t != QXmlStreamReader::StartElement || !skipElement(x, dev)) {
            if (!x.hasError()) x.raiseError(QStringLiteral("the metadata does not end"));
            return false;
        }
    }
    return expectStart(x, dev, "ROWDATA");
}

// The attributes of the ROW just started into `row`.
bool readRow(QXmlStreamReader& x, RowData& row) {
    for (const QXmlStreamAttribute& a : x.attributes()) {
        const int field = matchField(a.qualifiedName());
        if (field < 0) {
            x.raiseError(QStringLiteral("unknown field %1").arg(a.qualifiedName()));
            return false;
        }
        const auto f = static_cast<Field>(field);
        if (!isIntegerField(f)) {
            row.text(f) = a.value().left(kMaxFieldText).toString();
            continue;
        }
        const QByteArray digits = a.value().toLatin1();
        const auto v = parseInt32(digits.constData(), static_cast<std::size_t>(digits.size()));
        if (!v) {
            x.raiseError(
                QStringLiteral("%1 is not a whole number").arg(QLatin1String(fieldName(f))));
            return false;
        }
        (f == Field::No ? row.no : row.nval) = *v;
    }
    return true;
}

// The rows up to the end of ROWDATA, then the end of the document.
bool readRows(QXmlStreamReader& x, WatchedReadDevice& dev, ReadingsTable& staged) {
    std::vector<RowData> batch;
    batch.reserve(kBatchRows);
    for (;;) {
        const Token t = nextToken(x, dev);
        if (t == QXmlStreamReader::EndElement) break;
        if (t != QXmlStreamReader::StartElement) return false;
        if (x.qualifiedName() != QLatin1String("ROW")) {
            x.raiseError(QStringLiteral("element %1 in ROWDATA").arg(x.qualifiedName()));
            return false;
        }
        RowData row;
        if (!readRow(x, row) || !expectEnd(x, dev)) return false;
        if (staged.size() + static_cast<qsizetype>(batch.size()) >= kMaxTableRows) {
            x.raiseError(QStringLiteral("more rows than the table can hold"));
            return false;
        }
        batch.push_back(std::move(row));
        if (batch.size() == kBatchRows) {
            staged.append(batch);
            batch.clear();
        }
    }
    staged.append(batch);
    if (!expectEnd(x, dev)) return false; // DATAPACKET
    if (nextToken(x, dev) != QXmlStreamReader::EndDocument) {
        if (!x.hasError()) x.raiseError(QStringLiteral("content after the root element"));
        return false;
    }
    return true;
}

} // namespace

QString LoadReadingsXml(QIODevice& in, ReadingsTable& table, const LoadProgressFn& progress) {
    if (!in.isOpen() || !in.isReadable()) return QStringLiteral("the file is not open for reading");
    // The fast reader first, where the file can be read again from the start should it decline.
    const qint64 start = in.pos();
    if (!in.isSequential()) {
        ReadingsTable staged;
        switch (XmlPacketReader::read(in, staged, progress)) {
        case XmlPacketReader::Outcome::Loaded:
            table.takeRows(staged);
            if (progress) progress(in.pos(), in.size());
            return {};
        case XmlPacketReader::Outcome::Cancelled:
            return QStringLiteral("cancelled");
        case XmlPacketReader::Outcome::Declined:
            break;
        }
        if (!in.seek(start)) return QStringLiteral("read error: ") + in.errorString();
    }
    return loadReadingsXmlStreamed(in, table, progress);
}

QString loadReadingsXmlStreamed(QIODevice& in, ReadingsTable& table,
                                const LoadProgressFn& progress) {
    if (!in.isOpen() || !in.isReadable()) return QStringLiteral("the file is not open for reading");
    WatchedReadDevice dev(in, progress, kMaxTokenBytes);
    QXmlStreamReader x(&dev);
    x.setNamespaceProcessing(false);
    // The rows gather in a table of their own: the load is all or nothing.
    ReadingsTable staged;
    if (!readHead(x, dev) || !readRows(x, dev, staged)) {
        if (dev.cancelled()) return QStringLiteral("cancelled");
        const QString why = !dev.refusal().isEmpty() ? dev.refusal() : x.errorString();
        return QStringLiteral("XML table file, line %1: %2").arg(x.lineNumber()).arg(why);
    }
    table.takeRows(staged);
    if (progress) progress(in.pos(), in.isSequential() ? 0 : in.size());
    return {};
}

} // namespace dmm

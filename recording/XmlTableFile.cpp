// The XML table file: a data packet of METADATA (the seven fields and their types) and ROWDATA
// (one ROW per row, one attribute per non-empty field).
//
// A million rows make a file of about 100 MB, and a general-purpose streaming XML reader spends
// several seconds on it; the packet uses a small part of XML, so a reader of that part, strict
// about well-formedness within it, does the work in a fraction of the time. What it accepts:
// the XML declaration (UTF-8), comments and processing instructions, elements with attributes
// in either quote, the five predefined entities and character references, whitespace between
// elements. What it refuses: a document type declaration (and with it every entity of its own),
// text or CDATA where the packet has none, invalid UTF-8, characters XML does not allow,
// mismatched or unclosed elements, duplicate attributes, anything after the root element.
#include "DataFiles.h"

#include <QStringDecoder>

#include <array>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace dmm {

namespace {

constexpr Field kTextFields[] = {Field::Time, Field::DcAc, Field::Value, Field::Unit, Field::Auto};
constexpr int kProgressRows = 4096;
constexpr int kBatchRows = 4096;
// The whole file is held while it is read; beyond this it is no table file this program wrote
// (ten million rows make about 1 GB).
constexpr qint64 kMaxXmlBytes = qint64(2) << 30;

// A field name as an XML attribute name: characters other than letters, digits, '.' and '-'
// (and a leading digit, '.' or '-') become _xHHHH_: "dc/ac" is "dc_x002F_ac".
QByteArray xmlName(const char* fieldName) {
    QByteArray out;
    for (int i = 0; fieldName[i]; ++i) {
        const char c = fieldName[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool other = (c >= '0' && c <= '9') || c == '.' || c == '-';
        if (letter || (other && i > 0))
            out += c;
        else
            out += "_x" +
                   QByteArray::number(static_cast<unsigned char>(c), 16)
                       .toUpper()
                       .rightJustified(4, '0') +
                   "_";
    }
    return out;
}

const std::array<QByteArray, kFieldCount>& xmlNames() {
    static const std::array<QByteArray, kFieldCount> names = [] {
        std::array<QByteArray, kFieldCount> n;
        for (int i = 0; i < kFieldCount; ++i) n[i] = xmlName(fieldName(static_cast<Field>(i)));
        return n;
    }();
    return names;
}

bool xmlChar(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// XML 1.0 cannot carry these characters in any form, escaped or not.
bool xmlCarries(const QString& text) {
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

void appendEscaped(QByteArray& out, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    for (char c : utf8) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        // Literal whitespace in an attribute value reads back as a space.
        case '\t':
            out += "&#9;";
            break;
        case '\n':
            out += "&#10;";
            break;
        case '\r':
            out += "&#13;";
            break;
        default:
            out += c;
        }
    }
}

// An integer attribute longer than this is no 32-bit number the packet's writers would write.
constexpr std::size_t kMaxIntegerChars = 16;

std::optional<std::int32_t> parseInt32(const char* p, std::size_t n) {
    if (n > kMaxIntegerChars) return std::nullopt;
    return parseFieldInteger(QByteArrayView(p, static_cast<qsizetype>(n)));
}

// The reader of the packet's part of XML, over the whole file in memory.
class PacketReader {
public:
    struct Attribute {
        const char* name;
        std::size_t nameLen;
        const char* value; // raw, between the quotes
        std::size_t valueLen;
        bool plain; // no '&', no whitespace but spaces, ASCII only: the raw bytes are the value
    };
    enum class Kind { Start, End, Eof, Error };

    PacketReader(const char* data, std::size_t size) : p_(data), end_(data + size) {}

    // The next start tag (attributes in attributes()), end tag, or the end of the document.
    Kind next() {
        if (!error_.isEmpty()) return Kind::Error;
        if (pendingEnd_) { // the end of a self-closing element
            pendingEnd_ = false;
            stack_.pop_back();
            return Kind::End;
        }
        for (;;) {
            while (p_ < end_ && isSpace(*p_)) ++p_;
            if (p_ == end_) {
                if (!stack_.empty()) return fail("the file ends inside element " + stack_.back());
                if (!sawRoot_) return fail("no root element");
                return Kind::Eof;
            }
            if (*p_ != '<') return fail("text where elements were expected");
            if (startsWith("<?")) {
                const char* close = find("?>", p_ + 2);
                if (!close) return fail("unterminated processing instruction");
                if (!checkDeclaration(p_ + 2, close)) return Kind::Error;
                p_ = close + 2;
                continue;
            }
            if (startsWith("<!--")) {
                const char* close = find("-->", p_ + 4);
                if (!close) return fail("unterminated comment");
                p_ = close + 3;
                continue;
            }
            if (startsWith("<!DOCTYPE")) return fail("a document type declaration is not accepted");
            if (startsWith("<!")) return fail("markup the table file does not use");
            first_ = false;
            if (startsWith("</")) return endTag();
            return startTag();
        }
    }

    const QByteArray& name() const { return name_; }
    const std::vector<Attribute>& attributes() const { return attrs_; }
    const QString& error() const { return error_; }
    int line() const {
        int n = 1;
        for (const char* q = begin(); q < p_ && q < end_; ++q) n += *q == '\n';
        return n;
    }
    std::size_t offset() const { return static_cast<std::size_t>(p_ - begin()); }
    void setBegin(const char* b) { begin_ = b; }

    Kind fail(const QString& why) {
        if (error_.isEmpty()) error_ = why;
        return Kind::Error;
    }
    Kind fail(const char* why) { return fail(QString::fromUtf8(why)); }
    Kind fail(const std::string& why) { return fail(QString::fromStdString(why)); }

    // The attribute's value, entities resolved, whitespace normalised, UTF-8 checked.
    std::optional<QString> value(const Attribute& a) {
        if (a.plain) return QString::fromLatin1(a.value, static_cast<qsizetype>(a.valueLen));
        std::string bytes;
        bytes.reserve(a.valueLen);
        const char* q = a.value;
        const char* e = a.value + a.valueLen;
        while (q < e) {
            const char c = *q;
            if (c == '&') {
                const char* semi = static_cast<const char*>(std::memchr(q, ';', e - q));
                if (!semi || semi - q > 12) {
                    fail("a malformed entity reference");
                    return std::nullopt;
                }
                const std::string_view ref(q + 1, semi - q - 1);
                if (ref == "amp")
                    bytes += '&';
                else if (ref == "lt")
                    bytes += '<';
                else if (ref == "gt")
                    bytes += '>';
                else if (ref == "quot")
                    bytes += '"';
                else if (ref == "apos")
                    bytes += '\'';
                else if (ref.size() >= 2 && ref[0] == '#') {
                    char32_t cp = 0;
                    const bool hex = ref[1] == 'x';
                    const std::string_view digits = ref.substr(hex ? 2 : 1);
                    if (digits.empty()) {
                        fail("an empty character reference");
                        return std::nullopt;
                    }
                    for (char d : digits) {
                        int v;
                        if (d >= '0' && d <= '9')
                            v = d - '0';
                        else if (hex && d >= 'a' && d <= 'f')
                            v = d - 'a' + 10;
                        else if (hex && d >= 'A' && d <= 'F')
                            v = d - 'A' + 10;
                        else {
                            fail("a malformed character reference");
                            return std::nullopt;
                        }
                        cp = cp * (hex ? 16 : 10) + v;
                        if (cp > 0x10FFFF) break;
                    }
                    if (!xmlChar(cp)) {
                        fail("a character reference to a character XML does not allow");
                        return std::nullopt;
                    }
                    appendUtf8(bytes, cp);
                } else {
                    fail("an unknown entity");
                    return std::nullopt;
                }
                q = semi + 1;
                continue;
            }
            if (c == '\r') { // line ends read as LF, and whitespace in a value as a space
                bytes += ' ';
                q += (q + 1 < e && q[1] == '\n') ? 2 : 1;
                continue;
            }
            bytes += (c == '\t' || c == '\n') ? ' ' : c;
            ++q;
        }
        QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString s = decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
        if (decode.hasError()) {
            fail("invalid UTF-8");
            return std::nullopt;
        }
        return s;
    }

private:
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
    static bool nameStart(unsigned char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
               c >= 0x80;
    }
    static bool nameChar(unsigned char c) {
        return nameStart(c) || (c >= '0' && c <= '9') || c == '.' || c == '-';
    }
    const char* begin() const { return begin_; }
    bool startsWith(const char* s) const {
        const std::size_t n = std::strlen(s);
        return static_cast<std::size_t>(end_ - p_) >= n && std::memcmp(p_, s, n) == 0;
    }
    const char* find(const char* s, const char* from) const {
        const std::size_t n = std::strlen(s);
        for (const char* q = from; q + n <= end_; ++q) {
            q = static_cast<const char*>(std::memchr(q, s[0], end_ - q));
            if (!q || q + n > end_) return nullptr;
            if (std::memcmp(q, s, n) == 0) return q;
        }
        return nullptr;
    }
    static void appendUtf8(std::string& out, char32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    bool checkDeclaration(const char* from, const char* close) {
        const std::string_view pi(from, close - from);
        if (pi.substr(0, 3) == "xml" && (pi.size() == 3 || isSpace(pi[3]))) {
            if (!first_ || p_ != begin_) {
                fail("an XML declaration that is not at the start");
                return false;
            }
            const auto enc = pi.find("encoding");
            if (enc != std::string_view::npos) {
                std::string rest(pi.substr(enc));
                for (char& c : rest)
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
                if (rest.find("utf-8") == std::string::npos) {
                    fail("an encoding other than UTF-8");
                    return false;
                }
            }
        }
        first_ = false;
        return true;
    }

    bool readName(QByteArray& out) {
        const char* s = p_;
        if (p_ == end_ || !nameStart(static_cast<unsigned char>(*p_))) return false;
        while (p_ < end_ && nameChar(static_cast<unsigned char>(*p_))) ++p_;
        out = QByteArray::fromRawData(s, p_ - s);
        return true;
    }

    Kind startTag() {
        if (stack_.empty() && sawRoot_) return fail("content after the root element");
        ++p_;
        if (!readName(name_)) return fail("a malformed element name");
        attrs_.clear();
        for (;;) {
            const char* before = p_;
            while (p_ < end_ && isSpace(*p_)) ++p_;
            if (p_ == end_) return fail("the file ends inside a tag");
            if (*p_ == '>' || (*p_ == '/' && p_ + 1 < end_ && p_[1] == '>')) break;
            if (p_ == before) return fail("attributes must be separated by whitespace");
            Attribute a{};
            QByteArray aname;
            if (!readName(aname)) return fail("a malformed attribute name");
            a.name = aname.constData();
            a.nameLen = static_cast<std::size_t>(aname.size());
            while (p_ < end_ && isSpace(*p_)) ++p_;
            if (p_ == end_ || *p_ != '=') return fail("an attribute without a value");
            ++p_;
            while (p_ < end_ && isSpace(*p_)) ++p_;
            if (p_ == end_ || (*p_ != '"' && *p_ != '\''))
                return fail("an attribute value without quotes");
            const char quote = *p_++;
            const char* v = p_;
            const char* close = static_cast<const char*>(std::memchr(p_, quote, end_ - p_));
            if (!close) return fail("an unterminated attribute value");
            a.value = v;
            a.valueLen = static_cast<std::size_t>(close - v);
            a.plain = true;
            for (const char* q = v; q < close; ++q) {
                const auto c = static_cast<unsigned char>(*q);
                if (c == '<') return fail("'<' in an attribute value");
                if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
                    return fail("a control character in an attribute value");
                if (c == '&' || c >= 0x80 || c < 0x20) a.plain = false;
            }
            p_ = close + 1;
            for (const Attribute& other : attrs_)
                if (other.nameLen == a.nameLen && std::memcmp(other.name, a.name, a.nameLen) == 0)
                    return fail("a duplicate attribute");
            if (attrs_.size() >= 64) return fail("too many attributes");
            attrs_.push_back(a);
        }
        sawRoot_ = true;
        stack_.push_back(name_.toStdString());
        if (stack_.size() > 64) return fail("elements nested too deeply");
        if (*p_ == '/') {
            p_ += 2;
            pendingEnd_ = true;
        } else {
            ++p_;
        }
        return Kind::Start;
    }

    Kind endTag() {
        p_ += 2;
        if (!readName(name_)) return fail("a malformed end tag");
        while (p_ < end_ && isSpace(*p_)) ++p_;
        if (p_ == end_ || *p_ != '>') return fail("a malformed end tag");
        ++p_;
        if (stack_.empty() || stack_.back() != name_.toStdString())
            return fail("an end tag that does not match its element");
        stack_.pop_back();
        return Kind::End;
    }

    const char* p_;
    const char* end_;
    const char* begin_ = p_;
    QByteArray name_;
    std::vector<Attribute> attrs_;
    std::vector<std::string> stack_;
    bool pendingEnd_ = false;
    bool sawRoot_ = false;
    bool first_ = true;
    QString error_;
};

int matchField(const PacketReader::Attribute& a) {
    const auto& names = xmlNames();
    for (int i = 0; i < kFieldCount; ++i) {
        const QByteArray& n = names[i];
        if (static_cast<std::size_t>(n.size()) == a.nameLen &&
            qstrnicmp(n.constData(), a.name, a.nameLen) == 0)
            return i;
    }
    return -1;
}

} // namespace

QString SaveReadingsXml(const ReadingsTable& table, QIODevice& out, const ProgressFn& progress) {
    if (!out.isOpen() || !out.isWritable())
        return QStringLiteral("the file is not open for writing");
    const int rows = table.size();
    for (int r = 0; r < rows; ++r)
        for (Field f : kTextFields)
            if (!xmlCarries(table.text(r, f)))
                return QStringLiteral("Row %1: field %2 holds a character that XML cannot carry")
                    .arg(r + 1)
                    .arg(QLatin1String(fieldName(f)));

    QByteArray buf;
    constexpr qsizetype kFlushBytes = 1 << 20;
    buf.reserve(kFlushBytes + 1024);
    buf += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
           "<DATAPACKET Version=\"2.0\">\n<METADATA>\n<FIELDS>\n";
    for (int i = 0; i < kFieldCount; ++i) {
        const auto f = static_cast<Field>(i);
        buf += "<FIELD attrname=\"";
        appendEscaped(buf, QString::fromLatin1(fieldName(f)));
        buf += isIntegerField(f) ? "\" fieldtype=\"i4\"/>\n"
                                 : "\" fieldtype=\"string\" WIDTH=\"20\"/>\n";
    }
    buf += "</FIELDS>\n<PARAMS/>\n</METADATA>\n<ROWDATA>\n";
    const auto& names = xmlNames();
    for (int r = 0; r < rows; ++r) {
        buf += "<ROW";
        for (int i = 0; i < kFieldCount; ++i) {
            const auto f = static_cast<Field>(i);
            if (table.isEmpty(r, f)) continue;
            buf += ' ';
            buf += names[i];
            buf += "=\"";
            if (isIntegerField(f))
                buf += QByteArray::number(*table.integer(r, f));
            else
                appendEscaped(buf, table.text(r, f));
            buf += '"';
        }
        buf += "/>\n";
        if (buf.size() >= kFlushBytes) {
            if (out.write(buf) != buf.size())
                return QStringLiteral("Could not write the XML table file: ") + out.errorString();
            buf.clear();
        }
        if (progress && (r + 1) % kProgressRows == 0) progress(r + 1, rows);
    }
    buf += "</ROWDATA>\n</DATAPACKET>\n";
    if (out.write(buf) != buf.size())
        return QStringLiteral("Could not write the XML table file: ") + out.errorString();
    if (progress) progress(rows, rows);
    return {};
}

QString LoadReadingsXml(QIODevice& in, ReadingsTable& table, const ProgressFn& progress) {
    if (!in.isOpen() || !in.isReadable()) return QStringLiteral("the file is not open for reading");
    if (!in.isSequential() && in.size() > kMaxXmlBytes)
        return QStringLiteral("XML table file: larger than a table file can be");
    QByteArray data;
    {
        QByteArray chunk(1 << 20, Qt::Uninitialized);
        for (;;) {
            const qint64 n = in.read(chunk.data(), chunk.size());
            if (n < 0) return QStringLiteral("read error: ") + in.errorString();
            if (n == 0) break;
            if (data.size() + n > kMaxXmlBytes)
                return QStringLiteral("XML table file: larger than a table file can be");
            data.append(chunk.constData(), n);
        }
    }
    const auto total = static_cast<std::int64_t>(data.size());
    PacketReader x(data.constData(), static_cast<std::size_t>(data.size()));
    x.setBegin(data.constData());
    using Kind = PacketReader::Kind;

    auto expect = [&](const char* name) {
        const Kind k = x.next();
        if (k == Kind::Error) return false;
        if (k != Kind::Start) {
            x.fail(QStringLiteral("missing element %1").arg(QLatin1String(name)));
            return false;
        }
        if (x.name() != name) {
            x.fail(QStringLiteral("element %1 where %2 was expected")
                       .arg(QString::fromUtf8(x.name()), QLatin1String(name)));
            return false;
        }
        return true;
    };
    auto endOfElement = [&]() {
        const Kind k = x.next();
        if (k == Kind::End) return true;
        if (k != Kind::Error) x.fail(QStringLiteral("unexpected content in an element"));
        return false;
    };
    auto skipElement = [&]() { // the current element with everything in it
        int depth = 1;
        while (depth > 0) {
            const Kind k = x.next();
            if (k == Kind::Start)
                ++depth;
            else if (k == Kind::End)
                --depth;
            else
                return false;
        }
        return true;
    };
    auto attribute = [&](const char* name) -> std::optional<QString> {
        for (const auto& a : x.attributes())
            if (a.nameLen == std::strlen(name) && std::memcmp(a.name, name, a.nameLen) == 0)
                return x.value(a);
        return QString();
    };

    ReadingsTable staged;
    std::vector<RowData> batch;
    batch.reserve(kBatchRows);
    auto parse = [&]() -> bool {
        if (!expect("DATAPACKET")) return false;
        if (attribute("Version") != QStringLiteral("2.0")) {
            x.fail("DATAPACKET Version is not 2.0");
            return false;
        }
        if (!expect("METADATA") || !expect("FIELDS")) return false;
        for (int i = 0; i < kFieldCount; ++i) {
            if (!expect("FIELD")) return false;
            const auto f = static_cast<Field>(i);
            const auto name = attribute("attrname");
            const auto type = attribute("fieldtype");
            if (!name || !type) return false;
            const bool typeOk = *type == QLatin1String(isIntegerField(f) ? "i4" : "string");
            if (fieldByName(*name) != f || !typeOk) {
                x.fail(QStringLiteral("field %1 must be %2 of type %3")
                           .arg(i + 1)
                           .arg(QLatin1String(fieldName(f)),
                                QLatin1String(isIntegerField(f) ? "i4" : "string")));
                return false;
            }
            if (!endOfElement()) return false;
        }
        if (!endOfElement()) // FIELDS
            return false;
        // PARAMS and whatever else the metadata holds is not ours to read.
        for (;;) {
            const Kind k = x.next();
            if (k == Kind::End) break;
            if (k != Kind::Start || !skipElement()) {
                if (x.error().isEmpty()) x.fail("the metadata does not end");
                return false;
            }
        }
        if (!expect("ROWDATA")) return false;
        int rows = 0;
        for (;;) {
            const Kind k = x.next();
            if (k == Kind::End) break;
            if (k != Kind::Start) return false;
            if (x.name() != "ROW") {
                x.fail(QStringLiteral("element %1 in ROWDATA").arg(QString::fromUtf8(x.name())));
                return false;
            }
            RowData row;
            for (const auto& a : x.attributes()) {
                const int field = matchField(a);
                if (field < 0) {
                    x.fail(QStringLiteral("unknown field %1")
                               .arg(QString::fromUtf8(a.name, static_cast<qsizetype>(a.nameLen))));
                    return false;
                }
                const auto f = static_cast<Field>(field);
                if (isIntegerField(f)) {
                    std::optional<std::int32_t> v;
                    if (a.plain) {
                        v = parseInt32(a.value, a.valueLen);
                    } else if (auto text = x.value(a)) {
                        const QByteArray bytes = text->toLatin1();
                        v = parseInt32(bytes.constData(), static_cast<std::size_t>(bytes.size()));
                    } else {
                        return false;
                    }
                    if (!v) {
                        x.fail(QStringLiteral("%1 is not a whole number")
                                   .arg(QLatin1String(fieldName(f))));
                        return false;
                    }
                    (f == Field::No ? row.no : row.nval) = *v;
                } else {
                    auto text = x.value(a);
                    if (!text) return false;
                    row.text(f) =
                        text->size() > kMaxFieldText ? text->left(kMaxFieldText) : std::move(*text);
                }
            }
            if (!endOfElement()) return false;
            if (staged.size() + static_cast<qsizetype>(batch.size()) >= kMaxTableRows) {
                x.fail("more rows than the table can hold");
                return false;
            }
            batch.push_back(std::move(row));
            if (batch.size() == kBatchRows) {
                staged.append(batch);
                batch.clear();
            }
            if (progress && ++rows % kProgressRows == 0)
                progress(static_cast<std::int64_t>(x.offset()), total);
        }
        staged.append(batch);
        batch.clear();
        if (!endOfElement()) // DATAPACKET
            return false;
        return x.next() == Kind::Eof;
    };
    if (!parse()) {
        const QString why = x.error().isEmpty() ? QStringLiteral("malformed file") : x.error();
        return QStringLiteral("XML table file, line %1: %2").arg(x.line()).arg(why);
    }
    table.takeRows(staged);
    if (progress) progress(total, total);
    return {};
}

} // namespace dmm

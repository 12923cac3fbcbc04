#include "XmlPacketReader.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace dmm {

namespace {

constexpr int kBatchRows = 4096;
// An integer attribute longer than this is no 32-bit number the writer would write.
constexpr std::size_t kMaxIntegerChars = 16;

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

// The escapes the writer writes, and what they stand for.
struct Escape {
    std::string_view text;
    char stands;
};
constexpr Escape kEscapes[] = {{"&amp;", '&'}, {"&lt;", '<'},   {"&gt;", '>'},  {"&quot;", '"'},
                               {"&#9;", '\t'}, {"&#10;", '\n'}, {"&#13;", '\r'}};

// True when `s` is well-formed UTF-8 of characters XML carries (no U+FFFE, U+FFFF).
bool isXmlUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        const unsigned char c = *p++;
        if (c < 0x80) continue;
        int more;
        char32_t cp;
        if (c >= 0xC2 && c <= 0xDF)
            more = 1, cp = c & 0x1F;
        else if (c >= 0xE0 && c <= 0xEF)
            more = 2, cp = c & 0x0F;
        else if (c >= 0xF0 && c <= 0xF4)
            more = 3, cp = c & 0x07;
        else
            return false;
        for (int k = 0; k < more; ++k, ++p) {
            if (p == end || (*p & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (*p & 0x3F);
        }
        const char32_t least = more == 1 ? 0x80 : more == 2 ? 0x800 : 0x10000;
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE ||
            cp == 0xFFFF)
            return false;
    }
    return true;
}

// The packet after its head, line by line: ROW lines, then the two end tags, then nothing.
class RowLines {
public:
    explicit RowLines(ReadingsTable& staged) : staged_(staged) { batch_.reserve(kBatchRows); }

    // Takes the complete lines of [p, end) and returns where the first incomplete one starts,
    // or nullptr to decline.
    const char* feed(const char* p, const char* end) {
        while (p < end) {
            const auto* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
            if (!nl) return p;
            if (!line(std::string_view(p, nl - p))) return nullptr;
            p = nl + 1;
        }
        return p;
    }
    bool complete() const { return state_ == State::End; }
    void flush() {
        staged_.append(std::span<const ReadingsTable::PackedRow>(batch_));
        batch_.clear();
    }

private:
    enum class State { Rows, AfterRows, End };

    bool line(std::string_view l) {
        switch (state_) {
        case State::Rows:
            if (l == "</ROWDATA>") {
                state_ = State::AfterRows;
                return true;
            }
            return row(l);
        case State::AfterRows:
            state_ = State::End;
            return l == "</DATAPACKET>";
        case State::End:
            return false;
        }
        return false;
    }

    bool row(std::string_view l) {
        if (!l.starts_with("<ROW")) return false;
        l.remove_prefix(4);
        ReadingsTable::PackedRow packed;
        const auto& names = XmlPacketReader::rowNames();
        int next = 0;
        while (l != "/>") {
            if (!l.starts_with(' ')) return false;
            l.remove_prefix(1);
            int k = next;
            for (; k < kFieldCount; ++k) {
                const std::string_view name(names[k].constData(), names[k].size());
                if (l.starts_with(name) && l.substr(name.size()).starts_with("=\"")) break;
            }
            if (k == kFieldCount) return false;
            l.remove_prefix(names[k].size() + 2);
            const std::size_t close = l.find('"');
            if (close == std::string_view::npos || close == 0) return false;
            if (!value(static_cast<Field>(k), l.substr(0, close), packed)) return false;
            l.remove_prefix(close + 1);
            next = k + 1;
        }
        if (staged_.size() + static_cast<qsizetype>(batch_.size()) >= kMaxTableRows) return false;
        batch_.push_back(packed);
        if (batch_.size() == kBatchRows) flush();
        return true;
    }

    bool value(Field f, std::string_view v, ReadingsTable::PackedRow& packed) {
        if (isIntegerField(f)) {
            if (v.size() > kMaxIntegerChars) return false;
            const auto n = parseFieldInteger(QByteArrayView(v.data(), qsizetype(v.size())));
            if (!n) return false;
            (f == Field::No ? packed.no : packed.nval) = *n;
            return true;
        }
        bool plain = true;
        for (char c : v) {
            const auto u = static_cast<unsigned char>(c);
            if (u < 0x20 || c == '<' || c == '>' || c == '"') return false;
            plain = plain && c != '&' && u < 0x80;
        }
        std::uint32_t& id = packed.text[static_cast<int>(f) - 1];
        if (plain) {
            id = staged_.internText(QLatin1StringView(v.data(), qsizetype(v.size())));
            return true;
        }
        decoded_.clear();
        while (!v.empty()) {
            if (v.front() != '&') {
                decoded_ += v.front();
                v.remove_prefix(1);
                continue;
            }
            const auto* e = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                         [&](const Escape& x) { return v.starts_with(x.text); });
            if (e == std::end(kEscapes)) return false;
            decoded_ += e->stands;
            v.remove_prefix(e->text.size());
        }
        if (!isXmlUtf8(decoded_)) return false;
        id = staged_.internText(
            QStringView(QString::fromUtf8(decoded_.data(), qsizetype(decoded_.size()))));
        return true;
    }

    ReadingsTable& staged_;
    std::vector<ReadingsTable::PackedRow> batch_;
    std::string decoded_;
    State state_ = State::Rows;
};

} // namespace

const QByteArray& XmlPacketReader::head() {
    static const QByteArray bytes = [] {
        QByteArray h = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                       "<DATAPACKET Version=\"2.0\">\n<METADATA>\n<FIELDS>\n";
        for (int i = 0; i < kFieldCount; ++i) {
            const auto f = static_cast<Field>(i);
            h += "<FIELD attrname=\"";
            h += fieldName(f); // no field name holds a character that needs an escape
            h += isIntegerField(f) ? "\" fieldtype=\"i4\"/>\n"
                                   : "\" fieldtype=\"string\" WIDTH=\"20\"/>\n";
        }
        h += "</FIELDS>\n<PARAMS/>\n</METADATA>\n<ROWDATA>\n";
        return h;
    }();
    return bytes;
}

const std::array<QByteArray, kFieldCount>& XmlPacketReader::rowNames() {
    static const std::array<QByteArray, kFieldCount> names = [] {
        std::array<QByteArray, kFieldCount> n;
        for (int i = 0; i < kFieldCount; ++i) n[i] = xmlName(fieldName(static_cast<Field>(i)));
        return n;
    }();
    return names;
}

XmlPacketReader::Outcome XmlPacketReader::read(QIODevice& in, ReadingsTable& staged,
                                               const LoadProgressFn& progress) {
    const std::int64_t total = in.isSequential() ? 0 : in.size();
    std::int64_t done = 0;
    const qint64 block = loadReadSize(std::numeric_limits<std::int64_t>::max());
    QByteArray buf(block + kMaxRowBytes, Qt::Uninitialized);
    qsizetype have = 0;     // bytes of an incomplete line (or of the head) at the front of buf
    qsizetype headSeen = 0; // bytes of the head matched so far
    RowLines rows(staged);
    for (;;) {
        if (progress && !progress(done, total)) return Outcome::Cancelled;
        const qint64 n = in.read(buf.data() + have, loadReadSize(done));
        if (n < 0) return Outcome::Declined; // the general reader says what went wrong
        if (n == 0) break;
        done += n;
        const char* p = buf.constData();
        const char* end = p + have + n;
        if (headSeen < head().size()) {
            const qsizetype k = std::min<qsizetype>(head().size() - headSeen, end - p);
            if (std::memcmp(p, head().constData() + headSeen, static_cast<std::size_t>(k)) != 0)
                return Outcome::Declined;
            headSeen += k;
            p += k;
        }
        p = rows.feed(p, end);
        if (!p) return Outcome::Declined;
        have = end - p;
        if (have > kMaxRowBytes) return Outcome::Declined;
        std::memmove(buf.data(), p, static_cast<std::size_t>(have));
    }
    if (have != 0 || !rows.complete()) return Outcome::Declined;
    rows.flush();
    return Outcome::Loaded;
}

} // namespace dmm

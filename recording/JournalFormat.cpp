#include "JournalFormat.h"

#include <QIODevice>

#include <array>
#include <limits>
#include <utility>
#include <vector>

namespace dmm {

namespace {

void appendEscaped(QByteArray& out, const QByteArray& text) {
    if (!text.contains('\\') && !text.contains('\t') && !text.contains('\n') &&
        !text.contains('\r')) {
        out.append(text);
        return;
    }
    for (char c : text) {
        switch (c) {
        case '\\':
            out.append("\\\\");
            break;
        case '\t':
            out.append("\\t");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        default:
            out.append(c);
        }
    }
}

QByteArray unescaped(QByteArrayView field) {
    if (!field.contains('\\')) return field.toByteArray();
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        char c = field[i];
        if (c == '\\' && i + 1 < field.size()) {
            const char n = field[++i];
            c = n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        }
        out.append(c);
    }
    return out;
}

void appendText(QByteArray& out, const QString& text) {
    out.append('\t');
    appendEscaped(out, text.toUtf8());
}

void appendNumber(QByteArray& out, std::optional<std::int64_t> n) {
    out.append('\t');
    if (n) out.append(QByteArray::number(static_cast<qlonglong>(*n)));
}

std::string baseKey(const RowData& row) {
    return row.value.toStdString() + row.dcAc.toStdString() + row.unit.toStdString();
}

void appendRowFields(QByteArray& out, char kind, const RowData& row) {
    out.append(kind);
    appendNumber(out, row.no);
    appendText(out, row.time);
    appendText(out, row.dcAc);
    appendText(out, row.value);
    appendText(out, row.unit);
    appendText(out, row.judge);
    appendNumber(out, row.nval);
    appendNumber(out, row.recordedAt.isValid()
                          ? std::optional<std::int64_t>(row.recordedAt.toMSecsSinceEpoch())
                          : std::nullopt);
    out.append(row.rangeMode == QLatin1String("AUTO")   ? "\tA"
               : row.rangeMode == QLatin1String("MANU") ? "\tM"
                                                        : "\t");
}

std::optional<std::int64_t> number(QByteArrayView field, bool& ok) {
    if (field.isEmpty()) return std::nullopt;
    bool good = false;
    const qlonglong n = field.toLongLong(&good);
    if (!good) ok = false;
    return n;
}

std::optional<std::int32_t> int32(QByteArrayView field, bool& ok) {
    const std::optional<std::int64_t> n = number(field, ok);
    if (!n) return std::nullopt;
    if (*n < std::numeric_limits<std::int32_t>::min() ||
        *n > std::numeric_limits<std::int32_t>::max()) {
        ok = false;
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*n);
}

// The TAB-separated fields of a line; more than kMaxFields make the list one longer than that.
constexpr int kMaxFields = 11;
struct Fields {
    std::array<QByteArrayView, kMaxFields + 1> f;
    int size = 0;
    QByteArrayView operator[](int i) const { return f[std::size_t(i)]; }
};
Fields splitFields(QByteArrayView line) {
    Fields out;
    qsizetype start = 0;
    while (out.size <= kMaxFields) {
        const qsizetype tab = line.indexOf('\t', start);
        out.f[std::size_t(out.size++)] = line.sliced(start, (tab < 0 ? line.size() : tab) - start);
        if (tab < 0) return out;
        start = tab + 1;
    }
    return out;
}

// A journal being read: the table's rows in batches, the recorder's state, the summary.
class Reader {
public:
    Reader(ReadingsTable& table, JournalSummary& summary) : table_(table), s_(summary) {}
    bool header(QByteArrayView line, QString& error);
    bool record(QByteArrayView line);
    bool finish() { return flush(); }

private:
    bool row(const Fields& f, bool recorded);
    bool flush();
    void noteTimes(const RowData& row);
    // A recording repeats its texts: one equal to the row before's is shared, not decoded again.
    const QString& text(int slot, QByteArrayView field) {
        auto& [bytes, decoded] = last_[std::size_t(slot)];
        if (field != bytes) {
            bytes = field.toByteArray();
            decoded = QString::fromUtf8(unescaped(field));
        }
        return decoded;
    }

    ReadingsTable& table_;
    JournalSummary& s_;
    std::vector<RowData> batch_;
    std::array<std::pair<QByteArray, QString>, 5> last_;
    bool haveFirst_ = false;
};

bool Reader::header(QByteArrayView line, QString& error) {
    const Fields f = splitFields(line);
    bool ok = true;
    const std::optional<std::int64_t> version = f.size >= 3 ? number(f[1], ok) : std::nullopt;
    const std::optional<std::int64_t> started = f.size >= 3 ? number(f[2], ok) : std::nullopt;
    if (!ok || !version || !started || *version < 1) {
        error = QStringLiteral("is not a recording journal");
        return false;
    }
    if (*version > kJournalVersion) {
        error = QStringLiteral("was written by a newer version of the program (journal version %1)")
                    .arg(*version);
        return false;
    }
    s_.version = static_cast<int>(*version);
    s_.startedAt = QDateTime::fromMSecsSinceEpoch(*started);
    return true;
}

bool Reader::record(QByteArrayView line) {
    if (line.isEmpty()) return false;
    const Fields f = splitFields(line);
    switch (line[0]) {
    case 'R':
        return f[0].size() == 1 && f.size == 11 && row(f, true);
    case 'F':
        return f[0].size() == 1 && f.size == 10 && row(f, false);
    case 'X':
        if (line.size() != 1 || !flush()) return false;
        table_.clear();
        haveFirst_ = false;
        s_.firstAt = s_.lastAt = {};
        s_.firstTime.clear();
        return true;
    case 'V':
        if (line.size() != 1) return false;
        s_.unsaved = false;
        return true;
    case 'S': {
        bool ok = f.size == 6 && f[0].size() == 1;
        if (!ok) return false;
        const auto next = int32(f[1], ok), count = int32(f[2], ok), limit = int32(f[4], ok);
        if (!ok || !next || !count || !limit || (f[3] != "0" && f[3] != "1")) return false;
        s_.state = {*next, *count, f[3] == "1", *limit, unescaped(f[5]).toStdString()};
        return true;
    }
    default:
        return false;
    }
}

bool Reader::row(const Fields& f, bool recorded) {
    bool ok = true;
    RowData r;
    r.no = int32(f[1], ok);
    r.time = text(0, f[2]);
    r.dcAc = text(1, f[3]);
    r.value = text(2, f[4]);
    r.unit = text(3, f[5]);
    r.judge = text(4, f[6]);
    r.nval = int32(f[7], ok);
    // In UTC: the table keeps milliseconds, and a local-time conversion per row is costly.
    if (const std::optional<std::int64_t> at = number(f[8], ok))
        r.recordedAt = QDateTime::fromMSecsSinceEpoch(*at, Qt::UTC);
    if (f[9] == "A")
        r.rangeMode = QStringLiteral("AUTO");
    else if (f[9] == "M")
        r.rangeMode = QStringLiteral("MANU");
    else if (!f[9].isEmpty())
        ok = false;
    if (!ok) return false;
    if (recorded) {
        if (!r.no) return false;
        const QByteArrayView code = f[10];
        std::string key = baseKey(r);
        if (code.isEmpty())
            key += r.rangeMode.toStdString();
        else if (code.startsWith('='))
            key = unescaped(code.sliced(1)).toStdString();
        else if (code != "-")
            return false;
        advanceState(s_.state, r, key);
        ++s_.recordedRows;
        s_.unsaved = true;
    }
    noteTimes(r);
    batch_.push_back(std::move(r));
    return batch_.size() < 4096 || flush();
}

void Reader::noteTimes(const RowData& row) {
    if (!haveFirst_) {
        s_.firstTime = row.time;
        haveFirst_ = true;
    }
    s_.lastTime = row.time;
    if (!row.recordedAt.isValid()) return;
    if (!s_.firstAt.isValid()) s_.firstAt = row.recordedAt;
    s_.lastAt = row.recordedAt;
}

bool Reader::flush() {
    const bool ok = batch_.empty() || table_.append(batch_);
    batch_.clear();
    return ok;
}

} // namespace

QByteArray journalHeader(std::int64_t startedMs) {
    return QByteArray(kJournalMagic) + QByteArray::number(kJournalVersion) + '\t' +
           QByteArray::number(static_cast<qlonglong>(startedMs)) + '\n';
}

void appendStateRecord(QByteArray& out, const RecorderState& s) {
    out.append("S\t" + QByteArray::number(s.nextRecordNo) + '\t' +
               QByteArray::number(s.recordedCount) + (s.numbersUsedUp ? "\t1\t" : "\t0\t") +
               QByteArray::number(s.recordLimit) + '\t');
    appendEscaped(out, QByteArray::fromStdString(s.lastRecordedKey));
    out.append('\n');
}

void appendRecordedRow(QByteArray& out, const RowData& row, const std::string& key) {
    appendRowFields(out, 'R', row);
    const std::string base = baseKey(row);
    if (key == base + row.rangeMode.toStdString()) {
        out.append("\t\n");
    } else if (key == base) {
        out.append("\t-\n");
    } else {
        out.append("\t=");
        appendEscaped(out, QByteArray::fromStdString(key));
        out.append('\n');
    }
}

void appendLoadedRow(QByteArray& out, const RowData& row) {
    appendRowFields(out, 'F', row);
    out.append('\n');
}

void advanceState(RecorderState& state, const RowData& row, const std::string& key) {
    const int no = row.no.value_or(state.nextRecordNo);
    state.numbersUsedUp = no == std::numeric_limits<int>::max();
    state.nextRecordNo = state.numbersUsedUp ? no : no + 1;
    ++state.recordedCount;
    state.lastRecordedKey = key;
}

bool looksLikeJournal(QByteArrayView firstBytes) {
    return firstBytes.startsWith(QByteArrayView(kJournalMagic));
}

QString readJournal(QIODevice& in, ReadingsTable& table, JournalSummary& summary) {
    summary = JournalSummary();
    table.clear();
    Reader reader(table, summary);
    QByteArray buffer;
    std::int64_t consumed = 0; // file offset of buffer[0]
    bool haveHeader = false;
    bool damaged = false;
    constexpr qint64 kChunk = 1 << 20;
    while (!damaged) {
        const QByteArray chunk = in.read(kChunk);
        if (chunk.isEmpty()) break;
        buffer.append(chunk);
        if (!haveHeader && buffer.size() >= qsizetype(sizeof kJournalMagic) - 1 &&
            !looksLikeJournal(buffer))
            return QStringLiteral("is not a recording journal");
        qsizetype start = 0;
        for (qsizetype end; (end = buffer.indexOf('\n', start)) >= 0; start = end + 1) {
            const QByteArrayView line = QByteArrayView(buffer).sliced(start, end - start);
            QString error;
            if (!haveHeader) {
                if (!looksLikeJournal(line) || !reader.header(line, error))
                    return error.isEmpty() ? QStringLiteral("is not a recording journal") : error;
                haveHeader = true;
            } else if (!reader.record(line)) {
                damaged = true; // what follows a damaged record is not trusted
                break;
            }
            summary.wholeBytes = consumed + end + 1;
        }
        consumed += start;
        buffer.remove(0, start);
        if (buffer.size() > (1 << 20)) damaged = true; // no record is that long
    }
    if (!haveHeader) return QStringLiteral("is not a recording journal");
    summary.torn = damaged || !buffer.isEmpty() || in.bytesAvailable() > 0;
    if (!reader.finish()) summary.torn = true;
    return QString();
}

} // namespace dmm

#include "DataFiles.h"

#include "CsvFile.h"
#include "RowsWriter.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

namespace dmm {

namespace {

constexpr Field kTextFields[] = {Field::Time, Field::DcAc, Field::Value, Field::Unit, Field::Auto};
constexpr int kBatchRows = 4096;

// ---------------------------------------------------------------------------------------------
// Text file

// Leading and trailing codes 0..32 go; an empty result is written as NULL. The rest is written
// so that the loader's token rule reads it back as one token holding the same text: a line end
// inside (possible in a table loaded from an XML file) becomes a space, and a text holding a
// separator (codes 1..32) or a double quote is wrapped in double quotes, its quotes doubled.
QByteArray quotedCell(QStringView text) {
    QByteArray cell = text.toUtf8();
    bool quote = false;
    for (char& c : cell) {
        if (c == '\r' || c == '\n') c = ' ';
        const auto u = static_cast<unsigned char>(c);
        quote = quote || (u >= 1 && u <= 32) || c == '"';
    }
    if (!quote) return cell;
    cell.replace('"', QByteArrayLiteral("\"\""));
    return '"' + cell + '"';
}

// Writes the cell of `text` at `d`, which has room for 3 * size + 4 bytes (UTF-8 takes at
// most three bytes a UTF-16 unit, plus two quotes), and returns the end. A text of ASCII
// without separators or quotes, all a meter writes, is copied byte by byte; anything else goes
// the long way through quotedCell.
char* putTextCell(char* d, QStringView text) {
    qsizetype b = 0, e = text.size();
    while (b < e && text[b].unicode() <= 32) ++b;
    while (e > b && text[e - 1].unicode() <= 32) --e;
    if (b == e) return std::copy_n("NULL", 4, d);
    text = text.mid(b, e - b);
    char* out = d;
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u <= 32 || u >= 0x80 || u == '"') {
            const QByteArray cell = quotedCell(text);
            return std::copy_n(cell.constData(), cell.size(), d);
        }
        *out++ = static_cast<char>(u);
    }
    return out;
}

// One line of the text file: the record number ("NULL" when empty) and the five texts.
void appendTextLine(QByteArray& buf, std::optional<std::int32_t> no,
                    const std::array<QStringView, 5>& cells) {
    qsizetype bound = 16;
    for (QStringView c : cells) bound += 3 * c.size() + 5;
    const qsizetype start = buf.size();
    buf.resize(start + bound);
    char* d = buf.data() + start;
    if (no)
        d = std::to_chars(d, d + 12, *no).ptr;
    else
        d = std::copy_n("NULL", 4, d);
    for (QStringView c : cells) {
        *d++ = '\t';
        d = putTextCell(d, c);
    }
    *d++ = '\r';
    *d++ = '\n';
    buf.resize(d - buf.constData());
}

// True when `bytes` is well-formed UTF-8; with `cut`, an incomplete sequence at the very end
// (the token was cut there) is allowed.
bool isUtf8(QByteArrayView bytes, bool cut) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p;
        int more;
        char32_t cp;
        if (c < 0x80) {
            ++p;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            more = 1, cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2, cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3, cp = c & 0x07;
        } else {
            return false;
        }
        ++p;
        for (int k = 0; k < more; ++k, ++p) {
            if (p == end) return cut;
            if ((*p & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (*p & 0x3F);
        }
        const char32_t least = more == 1 ? 0x80 : more == 2 ? 0x800 : 0x10000;
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    }
    return true;
}

// Splits the stream into lines and the lines into tokens as the bytes come, so that neither a
// line nor a token is ever held whole: a token keeps its first kTokenBytes bytes and notes that
// it was longer.
class LineTokenizer {
public:
    // Room for kMaxFieldText characters of four UTF-8 bytes each.
    static constexpr qsizetype kTokenBytes = 4 * kMaxFieldText;
    static constexpr int kMaxTokens = 7;

    struct Token {
        char bytes[kTokenBytes];
        qsizetype size = 0;
        bool overlong = false;
        QByteArrayView view() const { return QByteArrayView(bytes, size); }
    };

    // Feeds bytes; onLine(tokens, tooMany) is called at every line end and must return false to
    // stop. Returns false if a call stopped it. Runs of token bytes, separators and the header
    // are scanned in tight loops; only quoted tokens go byte by byte through the state machine.
    template <typename OnLine> bool feed(const char* data, qsizetype n, OnLine&& onLine) {
        const auto* p = reinterpret_cast<const unsigned char*>(data);
        const auto* end = p + n;
        while (p < end) {
            const unsigned char c = *p;
            if (skipLf_) {
                skipLf_ = false;
                if (c == '\n') {
                    ++p;
                    continue;
                }
            }
            if (c == '\r' || c == '\n') {
                skipLf_ = c == '\r';
                ++p;
                if (!endLine(onLine)) return false;
                continue;
            }
            lineOpen_ = true;
            if (header()) { // the first line is dropped whatever it holds
                while (p < end && *p != '\r' && *p != '\n') ++p;
                continue;
            }
            if (state_ == State::Plain) {
                p = plainRun(p, end);
            } else if (state_ == State::Between && isSeparator(c)) {
                while (p < end && isSeparator(*p) && *p != '\r' && *p != '\n') ++p;
            } else {
                step(c);
                ++p;
            }
        }
        return true;
    }

    // The end of the data: a last line without a line end is a line too.
    template <typename OnLine> bool finish(OnLine&& onLine) {
        if (lineOpen_) return endLine(onLine);
        return true;
    }

    bool sawLine() const { return lines_ > 0 || lineOpen_; }
    // The data so far ends within a line.
    bool lineOpen() const { return lineOpen_; }

private:
    enum class State { Between, Plain, Quoted, QuoteInQuoted };

    static bool isSeparator(unsigned char c) { return c >= 1 && c <= 32; }

    // The bytes of a plain token up to the next separator (which stays for the caller: a line
    // end must end the line).
    const unsigned char* plainRun(const unsigned char* p, const unsigned char* end) {
        const unsigned char* q = p;
        while (q < end && !isSeparator(*q)) ++q;
        if (!tooMany_) {
            Token& t = tokens_[count_ - 1];
            const qsizetype room = kTokenBytes - t.size;
            const qsizetype run = q - p;
            std::memcpy(t.bytes + t.size, p, static_cast<std::size_t>(std::min(run, room)));
            t.size += std::min(run, room);
            t.overlong = t.overlong || run > room;
        }
        if (q < end) endToken();
        return q;
    }

    void step(unsigned char c) {
        if (header()) return; // the first line is dropped whatever it holds
        switch (state_) {
        case State::QuoteInQuoted:
            if (c == '"') {
                put(c); // "" inside a quoted token stands for one quote
                state_ = State::Quoted;
                return;
            }
            endToken();
            [[fallthrough]];
        case State::Between:
            if (c >= 1 && c <= 32) return;
            if (!beginToken()) return;
            if (c == '"') {
                state_ = State::Quoted;
                return;
            }
            put(c);
            state_ = State::Plain;
            return;
        case State::Plain:
            if (c >= 1 && c <= 32) {
                endToken();
                return;
            }
            put(c);
            return;
        case State::Quoted:
            if (c == '"')
                state_ = State::QuoteInQuoted;
            else
                put(c);
            return;
        }
    }

    bool header() const { return lines_ == 0; }

    bool beginToken() {
        if (count_ == kMaxTokens) {
            tooMany_ = true;
            state_ = State::Plain; // swallow the rest; the line fails anyway
            return false;
        }
        Token& t = tokens_[count_++];
        t.size = 0;
        t.overlong = false;
        return true;
    }
    void put(unsigned char c) {
        if (tooMany_) return;
        Token& t = tokens_[count_ - 1];
        if (t.size < kTokenBytes)
            t.bytes[t.size++] = static_cast<char>(c);
        else
            t.overlong = true;
    }
    void endToken() { state_ = State::Between; }

    template <typename OnLine> bool endLine(OnLine& onLine) {
        const bool wasHeader = header();
        ++lines_;
        lineOpen_ = false;
        state_ = State::Between;
        const int count = count_;
        const bool tooMany = tooMany_;
        count_ = 0;
        tooMany_ = false;
        if (wasHeader) return true;
        return onLine(std::span<const Token>(tokens_.data(), count), tooMany);
    }

    std::array<Token, kMaxTokens> tokens_;
    int count_ = 0;
    bool tooMany_ = false;
    State state_ = State::Between;
    bool skipLf_ = false;
    bool lineOpen_ = false;
    std::int64_t lines_ = 0;
};

} // namespace

// ---------------------------------------------------------------------------------------------

void appendReadingsTextLine(QByteArray& buf, const ReadingsTable& table, int r) {
    // An empty record number is written as NULL like every empty field: left out, the line's
    // later fields would shift one column to the left when it is read back.
    std::array<QStringView, 5> cells;
    for (std::size_t i = 0; i < cells.size(); ++i) cells[i] = table.textView(r, kTextFields[i]);
    appendTextLine(buf, table.integer(r, Field::No), cells);
}

void appendReadingsTextLine(QByteArray& buf, const RowData& row) {
    std::array<QStringView, 5> cells;
    for (std::size_t i = 0; i < cells.size(); ++i) // as the table would store it
        cells[i] = QStringView(row.text(kTextFields[i])).left(kMaxFieldText);
    appendTextLine(buf, row.no, cells);
}

QString SaveReadingsText(const ReadingsTable& table, QIODevice& out, const ProgressFn& progress) {
    return writeRows(table, out, progress, QByteArray(kReadingsTextHeader), 64,
                     [&](QByteArray& buf, int row) { appendReadingsTextLine(buf, table, row); });
}

namespace {

// A line's texts are UTF-8 when every token of the line is well-formed UTF-8, and Latin-1
// otherwise. The file is read as it streams in, so the choice is made line by line: a valid
// UTF-8 file reads as UTF-8 throughout, an ASCII file is the same either way, and a Latin-1
// file's accented letters cannot pass for UTF-8 in practice.
bool lineIsUtf8(std::span<const LineTokenizer::Token> tokens) {
    for (const auto& t : tokens)
        if (!isUtf8(t.view(), t.overlong)) return false;
    return true;
}

bool isAscii(QByteArrayView bytes) {
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// A text token's id in the table's pool, cut to kMaxFieldText characters. Latin-1 and ASCII
// go to the pool as bytes; only a UTF-8 token beyond ASCII becomes a QString on the way.
std::uint32_t tokenText(const LineTokenizer::Token& t, bool utf8, ReadingsTable& table) {
    if (!utf8 || isAscii(t.view()))
        return table.internText(
            QLatin1StringView(t.bytes, std::min<qsizetype>(t.size, kMaxFieldText)));
    return table.internText(QStringView(QString::fromUtf8(t.view())));
}

// The row a line's tokens make; the reason it makes none, or an empty text. The integers are
// checked first, so that a line that fails adds no text to the pool.
QString rowOfTokens(std::span<const LineTokenizer::Token> tokens, ReadingsTable& table,
                    ReadingsTable::PackedRow& row) {
    for (std::size_t k : {std::size_t(0), std::size_t(6)}) {
        // NULL is how an empty record number is written; it reads back as empty.
        if (k >= tokens.size() || tokens[k].view() == QByteArrayView("NULL")) continue;
        auto v = tokens[k].overlong ? std::nullopt : parseFieldInteger(tokens[k].view());
        if (!v) return QStringLiteral("token %1 is not a whole number").arg(k + 1);
        (k == 0 ? row.no : row.nval) = *v;
    }
    const bool utf8 = lineIsUtf8(tokens);
    for (std::size_t k = 1; k < tokens.size() && k < 6; ++k)
        row.text[k - 1] = tokenText(tokens[k], utf8, table);
    return {};
}

} // namespace

QString LoadReadingsFile(QIODevice& in, ReadingsTable& table, bool emptyFirst,
                         const LoadProgressFn& progress) {
    if (emptyFirst) table.clear();
    if (!in.isOpen() || !in.isReadable()) return QStringLiteral("the file is not open for reading");

    std::vector<ReadingsTable::PackedRow> batch;
    batch.reserve(kBatchRows);
    QString failure;
    auto flush = [&] {
        if (!batch.empty()) table.append(batch); // room was checked row by row
        batch.clear();
    };
    auto onLine = [&](std::span<const LineTokenizer::Token> tokens, bool tooMany) {
        if (tooMany) {
            failure = QStringLiteral("a line holds more than seven tokens");
            return false;
        }
        if (tokens.empty()) return true;
        if (table.size() + static_cast<qsizetype>(batch.size()) >= kMaxTableRows) {
            failure = QStringLiteral("the table is full");
            return false;
        }
        ReadingsTable::PackedRow row;
        failure = rowOfTokens(tokens, table, row);
        if (!failure.isEmpty()) return false;
        batch.push_back(row);
        if (batch.size() == kBatchRows) flush();
        return true;
    };

    LineTokenizer tokenizer;
    const std::int64_t total = in.isSequential() ? 0 : in.size();
    std::int64_t done = 0;
    QByteArray chunk(loadReadSize(std::numeric_limits<std::int64_t>::max()), Qt::Uninitialized);
    bool stopped = false;
    for (;;) {
        // Before every read, the first one included: a slow or huge file shows its progress
        // and can be cancelled from its first byte. A cancelled load keeps the rows before.
        if (progress) {
            flush();
            if (!progress(done, total)) return QStringLiteral("cancelled");
        }
        const qint64 n = in.read(chunk.data(), loadReadSize(done));
        if (n < 0) {
            flush();
            return QStringLiteral("read error: ") + in.errorString();
        }
        if (n == 0) break;
        done += n;
        if (!tokenizer.feed(chunk.constData(), n, onLine)) {
            stopped = true;
            break;
        }
    }
    if (!stopped) {
        if (!tokenizer.sawLine()) {
            flush();
            return QStringLiteral("the file is empty");
        }
        // A file cut short while it was read (rewritten by another program) ends on a torn
        // line, which is not the row it was.
        if (tokenizer.lineOpen() && total > 0 && in.size() < total) {
            flush();
            return QStringLiteral("the file shrank from %1 to %2 bytes while it was read")
                .arg(total)
                .arg(in.size());
        }
        tokenizer.finish(onLine);
    }
    flush();
    if (progress) progress(done, total);
    return failure;
}

std::optional<std::int32_t> parseFieldInteger(QByteArrayView token) {
    qsizetype i = 0;
    bool negative = false;
    if (i < token.size() && (token[i] == '+' || token[i] == '-')) negative = token[i++] == '-';
    if (i == token.size()) return std::nullopt;
    long long v = 0;
    for (; i < token.size(); ++i) {
        const char c = token[i];
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
        if (v > 2147483648LL) return std::nullopt;
    }
    if (negative) v = -v;
    if (v > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return static_cast<std::int32_t>(v);
}

bool isXmlTableFileName(const QString& fileName) {
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && QStringView(name).mid(dot) == QLatin1String(".xml");
}

FileResult saveTableToFile(const ReadingsTable& table, const QString& fileName,
                           const ProgressFn& progress) {
    const bool xml = isXmlTableFileName(fileName);
    QSaveFile file(fileName);
    QString error;
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
    } else {
        error = xml                                ? SaveReadingsXml(table, file, progress)
                : CsvFile::isCsvFileName(fileName) ? CsvFile::save(table, file, progress)
                                                   : SaveReadingsText(table, file, progress);
        if (error.isEmpty() && !file.commit()) error = file.errorString();
        if (!error.isEmpty()) file.cancelWriting();
    }
    FileResult result;
    result.ok = error.isEmpty();
    if (xml) {
        if (!result.ok)
            result.message = FileMessage{QStringLiteral("Error"), error, FileMessage::Icon::Error};
    } else if (result.ok) {
        result.message = FileMessage{
            QString(), QStringLiteral("save table to specified file: ") + fileName + " Scuss!",
            FileMessage::Icon::Information};
    } else {
        result.message = FileMessage{
            QString(), QStringLiteral("Could not save table to specified file: ") + fileName,
            FileMessage::Icon::Error};
    }
    return result;
}

namespace {

// Opens `fileName` for reading if it is a regular file (a symbolic link counts as what it leads
// to). A device, FIFO or socket is refused before anything is read: /dev/zero never ends, and
// a FIFO would block the caller until some writer came along (hence O_NONBLOCK for the open
// itself, dropped again once the file proved regular). The check is made on the open file, so
// the name cannot be switched to something else between the check and the read.
QString openRegularFile(QFile& file) {
    const QByteArray path = QFile::encodeName(file.fileName());
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return QString::fromLocal8Bit(std::strerror(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return QStringLiteral("not a regular file");
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return file.errorString();
    }
    return {};
}

} // namespace

FileResult loadTableFromFile(const QString& fileName, ReadingsTable& table, bool emptyFirst,
                             const LoadProgressFn& progress, QString* errorOut) {
    if (emptyFirst) table.clear();
    QFile file(fileName);
    bool cancelled = false;
    LoadProgressFn watched;
    if (progress)
        watched = [&](std::int64_t done, std::int64_t total) {
            cancelled = !progress(done, total);
            return !cancelled;
        };
    QString error = openRegularFile(file);
    if (error.isEmpty())
        error = isXmlTableFileName(fileName) ? LoadReadingsXml(file, table, watched)
                                             : LoadReadingsFile(file, table, false, watched);
    if (errorOut) *errorOut = error;
    FileResult result;
    result.ok = error.isEmpty();
    result.cancelled = cancelled;
    if (!result.ok && !cancelled)
        result.message =
            FileMessage{QString::fromLatin1(kLoadFailedCaption),
                        QString::fromLatin1(kLoadFailedText), FileMessage::Icon::Error};
    return result;
}

} // namespace dmm

#include "DataFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <array>
#include <limits>
#include <vector>

namespace dmm {

namespace {

constexpr Field kTextFields[] = {Field::Time, Field::DcAc, Field::Value, Field::Unit, Field::Auto};
constexpr int kProgressRows = 4096;
constexpr int kBatchRows = 4096;

// ---------------------------------------------------------------------------------------------
// Text file

// Leading and trailing codes 0..32 go; an empty result is written as NULL.
QByteArray textCell(const QString& text) {
    qsizetype b = 0, e = text.size();
    while (b < e && text[b].unicode() <= 32) ++b;
    while (e > b && text[e - 1].unicode() <= 32) --e;
    if (b == e) return QByteArrayLiteral("NULL");
    return QStringView(text).mid(b, e - b).toLatin1();
}

// Splits the stream into lines and the lines into tokens as the bytes come, so that neither a
// line nor a token is ever held whole: a token keeps its first kTokenBytes bytes and notes that
// it was longer.
class LineTokenizer {
public:
    static constexpr qsizetype kTokenBytes = 64;
    static constexpr int kMaxTokens = 7;

    struct Token {
        char bytes[kTokenBytes];
        qsizetype size = 0;
        bool overlong = false;
        QByteArrayView view() const { return QByteArrayView(bytes, size); }
    };

    // Feeds bytes; onLine(tokens, tooMany) is called at every line end and must return false to
    // stop. Returns false if a call stopped it.
    template <typename OnLine> bool feed(const char* data, qsizetype n, OnLine&& onLine) {
        for (qsizetype i = 0; i < n; ++i) {
            const auto c = static_cast<unsigned char>(data[i]);
            if (skipLf_) {
                skipLf_ = false;
                if (c == '\n') continue;
            }
            if (c == '\r' || c == '\n') {
                skipLf_ = c == '\r';
                if (!endLine(onLine)) return false;
                continue;
            }
            lineOpen_ = true;
            step(c);
        }
        return true;
    }

    // The end of the data: a last line without a line end is a line too.
    template <typename OnLine> bool finish(OnLine&& onLine) {
        if (lineOpen_) return endLine(onLine);
        return true;
    }

    bool sawLine() const { return lines_ > 0 || lineOpen_; }

private:
    enum class State { Between, Plain, Quoted, QuoteInQuoted };

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
    if (auto no = table.integer(r, Field::No)) buf.append(QByteArray::number(*no));
    for (Field f : kTextFields) {
        buf.append('\t');
        buf.append(textCell(table.text(r, f)));
    }
    buf.append("\r\n");
}

QString SaveReadingsText(const ReadingsTable& table, QIODevice& out, const ProgressFn& progress) {
    if (!out.isOpen() || !out.isWritable())
        return QStringLiteral("the file is not open for writing");
    QByteArray buf;
    constexpr qsizetype kFlushBytes = 1 << 20;
    buf.reserve(kFlushBytes + 256);
    buf.append(kReadingsTextHeader);
    const int rows = table.size();
    for (int r = 0; r < rows; ++r) {
        appendReadingsTextLine(buf, table, r);
        if (buf.size() >= kFlushBytes) {
            if (out.write(buf) != buf.size()) return out.errorString();
            buf.clear();
        }
        if (progress && (r + 1) % kProgressRows == 0) progress(r + 1, rows);
    }
    if (out.write(buf) != buf.size()) return out.errorString();
    if (progress) progress(rows, rows);
    return {};
}

QString LoadReadingsFile(QIODevice& in, ReadingsTable& table, bool emptyFirst,
                         const ProgressFn& progress) {
    if (emptyFirst) table.clear();
    if (!in.isOpen() || !in.isReadable()) return QStringLiteral("the file is not open for reading");

    std::vector<RowData> batch;
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
        RowData row;
        for (std::size_t k = 0; k < tokens.size(); ++k) {
            const auto f = static_cast<Field>(k);
            if (isIntegerField(f)) {
                auto v = tokens[k].overlong ? std::nullopt : parseFieldInteger(tokens[k].view());
                if (!v) {
                    failure = QStringLiteral("token %1 is not a whole number").arg(k + 1);
                    return false;
                }
                (f == Field::No ? row.no : row.nval) = *v;
            } else {
                row.text(f) = QString::fromLatin1(
                    tokens[k].view().first(std::min<qsizetype>(tokens[k].size, kMaxFieldText)));
            }
        }
        batch.push_back(std::move(row));
        if (batch.size() == kBatchRows) flush();
        return true;
    };

    LineTokenizer tokenizer;
    const std::int64_t total = in.isSequential() ? 0 : in.size();
    std::int64_t done = 0;
    std::int64_t nextProgress = 1 << 20;
    QByteArray chunk(1 << 16, Qt::Uninitialized);
    bool stopped = false;
    for (;;) {
        const qint64 n = in.read(chunk.data(), chunk.size());
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
        if (progress && done >= nextProgress) {
            flush(); // show the rows so far while the window catches up
            progress(done, total);
            nextProgress = done + (1 << 20);
        }
    }
    if (!stopped) {
        if (!tokenizer.sawLine()) {
            flush();
            return QStringLiteral("the file is empty");
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
        error =
            xml ? SaveReadingsXml(table, file, progress) : SaveReadingsText(table, file, progress);
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

FileResult loadTableFromFile(const QString& fileName, ReadingsTable& table, bool emptyFirst,
                             const ProgressFn& progress, QString* errorOut) {
    if (emptyFirst) table.clear();
    QFile file(fileName);
    QString error;
    if (!file.open(QIODevice::ReadOnly))
        error = file.errorString();
    else if (isXmlTableFileName(fileName))
        error = LoadReadingsXml(file, table, progress);
    else
        error = LoadReadingsFile(file, table, false, progress);
    if (errorOut) *errorOut = error;
    FileResult result;
    result.ok = error.isEmpty();
    if (!result.ok)
        result.message =
            FileMessage{QString::fromLatin1(kLoadFailedCaption),
                        QString::fromLatin1(kLoadFailedText), FileMessage::Icon::Error};
    return result;
}

} // namespace dmm

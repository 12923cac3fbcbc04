#include "DataFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

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

// A whole number for an integer field: optional sign, decimal digits, 32 bits.
std::optional<std::int32_t> toInt32(const QByteArray& token) {
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

// Splits the stream into lines and the lines into tokens as the bytes come, so that neither a
// line nor a token is ever held whole: a token keeps its first kTokenBytes bytes and notes that
// it was longer.
class LineTokenizer {
public:
    static constexpr qsizetype kTokenBytes = 64;
    static constexpr int kMaxTokens = 7;

    struct Token {
        QByteArray bytes;
        bool overlong = false;
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
        t.bytes.clear();
        t.overlong = false;
        return true;
    }
    void put(unsigned char c) {
        if (tooMany_) return;
        Token& t = tokens_[count_ - 1];
        if (t.bytes.size() < kTokenBytes)
            t.bytes.append(static_cast<char>(c));
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

// ---------------------------------------------------------------------------------------------
// XML table file

// A field name as an XML attribute name: characters other than letters, digits, '.' and '-'
// (and a leading digit, '.' or '-') become _xHHHH_.
QString xmlName(const char* fieldName) {
    QString out;
    const QString name = QString::fromLatin1(fieldName);
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name[i];
        const bool letter = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                            (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
        const bool other = (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
                           c == QLatin1Char('.') || c == QLatin1Char('-');
        if (letter || (other && i > 0))
            out += c;
        else
            out += QStringLiteral("_x") +
                   QString::number(c.unicode(), 16).toUpper().rightJustified(4, QLatin1Char('0')) +
                   QLatin1Char('_');
    }
    return out;
}

const std::array<QString, kFieldCount>& xmlNames() {
    static const std::array<QString, kFieldCount> names = [] {
        std::array<QString, kFieldCount> n;
        for (int i = 0; i < kFieldCount; ++i) n[i] = xmlName(fieldName(static_cast<Field>(i)));
        return n;
    }();
    return names;
}

// XML 1.0 cannot carry these characters in any form, escaped or not.
bool xmlCarries(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x20 && c != 0x09 && c != 0x0A && c != 0x0D) return false;
        if (c == 0xFFFE || c == 0xFFFF) return false;
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 >= text.size() || !QChar::isLowSurrogate(text[i + 1].unicode())) return false;
            ++i;
        } else if (QChar::isLowSurrogate(c)) {
            return false;
        }
    }
    return true;
}

std::optional<std::int32_t> xmlInt(QStringView v) {
    if (v.isEmpty() || v.size() > 16) return std::nullopt;
    return toInt32(v.toLatin1());
}

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
                auto v = tokens[k].overlong ? std::nullopt : toInt32(tokens[k].bytes);
                if (!v) {
                    failure = QStringLiteral("token %1 is not a whole number").arg(k + 1);
                    return false;
                }
                (f == Field::No ? row.no : row.nval) = *v;
            } else {
                row.text(f) = QString::fromLatin1(tokens[k].bytes.left(kMaxFieldText));
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

    QXmlStreamWriter w(&out);
    // One element a line, without indentation: readable in an editor, hardly larger.
    w.setAutoFormatting(true);
    w.setAutoFormattingIndent(0);
    w.writeStartDocument(QStringLiteral("1.0"), true);
    w.writeStartElement(QStringLiteral("DATAPACKET"));
    w.writeAttribute(QStringLiteral("Version"), QStringLiteral("2.0"));
    w.writeStartElement(QStringLiteral("METADATA"));
    w.writeStartElement(QStringLiteral("FIELDS"));
    for (int i = 0; i < kFieldCount; ++i) {
        const auto f = static_cast<Field>(i);
        w.writeEmptyElement(QStringLiteral("FIELD"));
        w.writeAttribute(QStringLiteral("attrname"), QLatin1String(fieldName(f)));
        if (isIntegerField(f)) {
            w.writeAttribute(QStringLiteral("fieldtype"), QStringLiteral("i4"));
        } else {
            w.writeAttribute(QStringLiteral("fieldtype"), QStringLiteral("string"));
            w.writeAttribute(QStringLiteral("WIDTH"), QString::number(kMaxFieldText));
        }
    }
    w.writeEndElement(); // FIELDS
    w.writeEmptyElement(QStringLiteral("PARAMS"));
    w.writeEndElement(); // METADATA
    w.writeStartElement(QStringLiteral("ROWDATA"));
    const auto& names = xmlNames();
    for (int r = 0; r < rows; ++r) {
        w.writeEmptyElement(QStringLiteral("ROW"));
        for (int i = 0; i < kFieldCount; ++i) {
            const auto f = static_cast<Field>(i);
            if (!table.isEmpty(r, f)) w.writeAttribute(names[i], table.text(r, f));
        }
        if (progress && (r + 1) % kProgressRows == 0) progress(r + 1, rows);
        if (w.hasError()) break;
    }
    w.writeEndElement(); // ROWDATA
    w.writeEndElement(); // DATAPACKET
    w.writeEndDocument();
    if (w.hasError())
        return QStringLiteral("Could not write the XML table file: ") + out.errorString();
    if (progress) progress(rows, rows);
    return {};
}

QString LoadReadingsXml(QIODevice& in, ReadingsTable& table, const ProgressFn& progress) {
    if (!in.isOpen() || !in.isReadable()) return QStringLiteral("the file is not open for reading");
    QXmlStreamReader x(&in);
    const std::int64_t total = in.isSequential() ? 0 : in.size();
    auto fail = [&](const QString& why) {
        return QStringLiteral("XML table file, line %1: %2").arg(x.lineNumber()).arg(why);
    };
    // Next start element inside the current one; false at its end.
    auto nextChild = [&]() -> bool {
        while (!x.atEnd()) {
            switch (x.readNext()) {
            case QXmlStreamReader::StartElement:
                return true;
            case QXmlStreamReader::EndElement:
                return false;
            case QXmlStreamReader::DTD:
                x.raiseError(QStringLiteral("a document type declaration is not accepted"));
                return false;
            case QXmlStreamReader::EntityReference:
                x.raiseError(QStringLiteral("unknown entity"));
                return false;
            case QXmlStreamReader::Characters:
                if (!x.isWhitespace()) {
                    x.raiseError(QStringLiteral("text where elements were expected"));
                    return false;
                }
                break;
            default:
                break;
            }
        }
        return false;
    };
    auto expect = [&](const char* name) {
        if (!nextChild()) {
            if (!x.hasError())
                x.raiseError(QStringLiteral("missing element %1").arg(QLatin1String(name)));
            return false;
        }
        if (x.name() != QLatin1String(name)) {
            x.raiseError(QStringLiteral("element %1 where %2 was expected")
                             .arg(x.name().toString(), QLatin1String(name)));
            return false;
        }
        return true;
    };
    auto endOfElement = [&]() {
        if (nextChild() && !x.hasError())
            x.raiseError(QStringLiteral("unexpected element %1").arg(x.name().toString()));
        return !x.hasError();
    };

    ReadingsTable staged;
    std::vector<RowData> batch;
    auto parse = [&]() -> bool {
        if (!expect("DATAPACKET")) return false;
        if (x.attributes().value(QLatin1String("Version")) != QLatin1String("2.0")) {
            x.raiseError(QStringLiteral("DATAPACKET Version is not 2.0"));
            return false;
        }
        if (!expect("METADATA") || !expect("FIELDS")) return false;
        for (int i = 0; i < kFieldCount; ++i) {
            if (!expect("FIELD")) return false;
            const auto f = static_cast<Field>(i);
            const auto a = x.attributes();
            const auto name = fieldByName(a.value(QLatin1String("attrname")));
            const QStringView type = a.value(QLatin1String("fieldtype"));
            const bool typeOk =
                isIntegerField(f) ? type == QLatin1String("i4") : type == QLatin1String("string");
            if (name != f || !typeOk) {
                x.raiseError(QStringLiteral("field %1 must be %2 of type %3")
                                 .arg(i + 1)
                                 .arg(QLatin1String(fieldName(f)),
                                      QLatin1String(isIntegerField(f) ? "i4" : "string")));
                return false;
            }
            if (!endOfElement()) return false;
        }
        if (!endOfElement()) // FIELDS
            return false;
        // PARAMS and whatever the metadata adds after the fields is not ours to read.
        while (nextChild()) x.skipCurrentElement();
        if (x.hasError()) return false;
        if (!expect("ROWDATA")) return false;
        const auto& names = xmlNames();
        int rows = 0;
        while (nextChild()) {
            if (x.name() != QLatin1String("ROW")) {
                x.raiseError(QStringLiteral("element %1 in ROWDATA").arg(x.name().toString()));
                return false;
            }
            RowData row;
            for (const QXmlStreamAttribute& a : x.attributes()) {
                int field = -1;
                for (int i = 0; i < kFieldCount; ++i)
                    if (a.name().compare(names[i], Qt::CaseInsensitive) == 0) {
                        field = i;
                        break;
                    }
                if (field < 0) {
                    x.raiseError(QStringLiteral("unknown field %1").arg(a.name().toString()));
                    return false;
                }
                const auto f = static_cast<Field>(field);
                if (isIntegerField(f)) {
                    auto v = xmlInt(a.value());
                    if (!v) {
                        x.raiseError(
                            QStringLiteral("%1 is not a whole number: %2")
                                .arg(QLatin1String(fieldName(f)), a.value().left(40).toString()));
                        return false;
                    }
                    (f == Field::No ? row.no : row.nval) = *v;
                } else {
                    row.text(f) = a.value().left(kMaxFieldText).toString();
                }
            }
            if (!endOfElement()) return false;
            if (staged.size() + static_cast<qsizetype>(batch.size()) >= kMaxTableRows) {
                x.raiseError(QStringLiteral("more rows than the table can hold"));
                return false;
            }
            batch.push_back(std::move(row));
            if (batch.size() == kBatchRows) {
                staged.append(batch);
                batch.clear();
            }
            if (progress && ++rows % kProgressRows == 0) progress(x.characterOffset(), total);
        }
        if (x.hasError()) return false;
        staged.append(batch);
        batch.clear();
        if (!endOfElement()) // DATAPACKET
            return false;
        while (!x.atEnd()) {
            const auto t = x.readNext();
            if (t == QXmlStreamReader::StartElement) {
                x.raiseError(QStringLiteral("content after the DATAPACKET"));
                return false;
            }
        }
        return !x.hasError();
    };
    if (!parse()) {
        const QString why = x.hasError() ? x.errorString() : QStringLiteral("malformed file");
        return fail(why);
    }
    table.takeRows(staged);
    if (progress) progress(total, total);
    return {};
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

#include "StatisticsText.h"

#include "JsonText.h"

#include <array>
#include <charconv>
#include <cmath>

namespace dmm::StatisticsText {

namespace {

QString number(double v) {
    return QString::number(v, 'g', 10);
}

QString recordNo(const std::optional<std::int32_t>& no) {
    return no ? QString::number(*no) : QStringLiteral("-");
}

void appendNumber(std::string& out, double v) {
    if (!std::isfinite(v)) {
        out += "null";
        return;
    }
    std::array<char, 32> buf{};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v);
    out.append(buf.data(), r.ptr);
}

void appendNo(std::string& out, const std::optional<std::int32_t>& no) {
    out += no ? std::to_string(*no) : std::string("null");
}

void appendKey(std::string& out, const char* key) {
    out += out.size() > 1 ? ", \"" : "\"";
    out += key;
    out += "\": ";
}

} // namespace

QStringList titles() {
    return {"quantity", "coupling", "unit",   "count", "no_number", "mean", "sdev", "min",
            "min_no",   "max",      "max_no", "ptp",   "first",     "last", "file"};
}

QStringList cells(const GroupStatistics& g, const QString& file) {
    const StatisticsKey& k = g.key();
    const bool v = g.hasValues();
    const QString none = QStringLiteral("-");
    const auto sdev = g.sdev();
    return {QString::fromLatin1(quantityName(k.quantity)),
            QString::fromLatin1(couplingName(k.coupling)),
            QString::fromStdString(k.unit),
            QString::number(g.count()),
            QString::number(g.noNumber()),
            v ? number(g.mean()) : none,
            sdev ? number(*sdev) : none,
            v ? number(g.min()) : none,
            v ? recordNo(g.minNo()) : none,
            v ? number(g.max()) : none,
            v ? recordNo(g.maxNo()) : none,
            v ? number(g.ptp()) : none,
            g.firstRow().text(),
            g.lastRow().text(),
            file};
}

QString aligned(const std::vector<QStringList>& rows) {
    // An empty cell shows as "-", so that the columns stay apart for a reader that splits them.
    std::vector<QStringList> all{titles()};
    for (QStringList r : rows) {
        for (QString& c : r)
            if (c.isEmpty()) c = QStringLiteral("-");
        all.push_back(std::move(r));
    }
    std::vector<qsizetype> width;
    for (const QStringList& r : all)
        for (qsizetype i = 0; i < r.size(); ++i) {
            if (std::size_t(i) >= width.size()) width.push_back(0);
            width[std::size_t(i)] = std::max(width[std::size_t(i)], r[i].size());
        }
    QString out;
    for (const QStringList& r : all) {
        QString line;
        for (qsizetype i = 0; i < r.size(); ++i)
            line +=
                (i ? QStringLiteral("  ") : QString()) + r[i].leftJustified(width[std::size_t(i)]);
        out += line.trimmed() + '\n';
    }
    return out;
}

QString tabSeparated(const std::vector<QStringList>& rows) {
    QString out = titles().join('\t') + '\n';
    for (const QStringList& r : rows) out += r.join('\t') + '\n';
    return out;
}

std::string json(const GroupStatistics& g, const QString& file) {
    const StatisticsKey& k = g.key();
    const bool v = g.hasValues();
    std::string out = "{";
    const auto text = [&out](const char* key, const std::string& s) {
        appendKey(out, key);
        appendJsonString(out, s);
    };
    const auto num = [&out, v](const char* key, double x) {
        appendKey(out, key);
        if (v)
            appendNumber(out, x);
        else
            out += "null";
    };
    text("quantity", quantityName(k.quantity));
    text("coupling", couplingName(k.coupling));
    text("unit", k.unit);
    appendKey(out, "count");
    out += std::to_string(g.count());
    appendKey(out, "no_number");
    out += std::to_string(g.noNumber());
    num("mean", g.mean());
    appendKey(out, "sdev");
    if (const auto s = g.sdev())
        appendNumber(out, *s);
    else
        out += "null";
    num("min", g.min());
    appendKey(out, "min_no");
    appendNo(out, v ? g.minNo() : std::nullopt);
    num("max", g.max());
    appendKey(out, "max_no");
    appendNo(out, v ? g.maxNo() : std::nullopt);
    num("ptp", g.ptp());
    text("first", g.firstRow().text().toStdString());
    text("last", g.lastRow().text().toStdString());
    text("file", file.toStdString());
    return out + "}";
}

QString withPrefix(double value, double magnitude, const std::string& unit) {
    struct Prefix {
        double scale;
        const char* symbol;
    };
    static constexpr std::array<Prefix, 5> kPrefixes{
        {{1e6, "M"}, {1e3, "k"}, {1, ""}, {1e-3, "m"}, {1e-6, "\u00B5"}}};
    // Temperatures and percentages take no prefix.
    const bool prefixed =
        unit == "V" || unit == "A" || unit == "\u03A9" || unit == "F" || unit == "Hz";
    double scale = 1;
    const char* symbol = "";
    if (prefixed && magnitude != 0) {
        scale = 1e-9;
        symbol = "n";
        for (const Prefix& p : kPrefixes)
            if (std::fabs(magnitude) >= p.scale) {
                scale = p.scale;
                symbol = p.symbol;
                break;
            }
    }
    return QString::number(value / scale, 'g', 10) + ' ' + QString::fromUtf8(symbol) +
           QString::fromStdString(unit);
}

} // namespace dmm::StatisticsText

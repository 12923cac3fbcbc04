#include "ScpiAnswers.h"

#include "BaseUnitValue.h"
#include "ScpiParser.h"

#include <QString>

#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#ifndef DMM_VERSION
#define DMM_VERSION "0"
#endif

namespace dmm::scpi {

namespace {

QString text(const std::string& bytes) {
    return QString::fromStdString(bytes);
}

bool isStale(const ScpiReading& now) {
    return !now.decoded || now.ageMs > ScpiAnswers::kStaleMs;
}

// The base unit of the reading's unit code, whatever the display shows (an overload too).
QString baseUnitOf(const ScpiReading& now) {
    return BaseUnitValue::fromDisplay(u"0", text(now.reading.UnitText)).baseUnit;
}

QByteArray function(const ScpiReading& now) {
    const CurrentReading& r = now.reading;
    const QString base = baseUnitOf(now);
    const QByteArray coupling = r.DcAc == "AC" ? ":AC" : r.DcAc == "AC+DC" ? ":ACDC" : ":DC";
    if (r.DcAc == "Diode" || r.UnitText.starts_with(')')) return "DIOD";
    if (now.continuity || r.UnitText.starts_with('&')) return "CONT";
    if (r.DcAc == "Temperature" || base == u"\u00B0C" || base == u"\u00B0F") return "TEMP";
    if (base == u"%") return "DUTY";
    if (base == u"Hz") return "FREQ";
    if (base == u"F") return "CAP";
    if (base == u"\u03A9") return "RES";
    if (base == u"V") return "VOLT" + coupling;
    if (base == u"A") return "CURR" + coupling;
    return "NONE"; // W, RPM, a loop percentage, no function annunciator
}

QByteArray quoted(const QByteArray& s) {
    return '"' + s + '"';
}

} // namespace

QByteArray ScpiAnswers::scientific(double value) {
    char buf[64];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 6);
    QByteArray out(buf, res.ptr - buf);
    out.replace('e', 'E');
    return (std::signbit(value) && value != 0 ? "-" : "+") + out;
}

QByteArray ScpiAnswers::measurement(const ScpiReading& now, ScpiErrorQueue& errors) {
    const QString display = text(now.reading.ValueText);
    if (!isStale(now) && display.contains(QLatin1Char('L')) &&
        BaseUnitValue::isDisplayForm(display))
        return QByteArrayLiteral("+9.9E+37");
    const BaseUnitValue v = BaseUnitValue::fromDisplay(display, text(now.reading.UnitText));
    // A unit without a base unit is answered as shown.
    const QString number = v.value.isEmpty() ? v.display : v.value;
    bool ok = false;
    const double value = number.toDouble(&ok); // QString::toDouble reads the C syntax
    if (isStale(now) || !ok || !BaseUnitValue::isDisplayForm(number)) {
        errors.push(-230, "Data corrupt or stale");
        return QByteArrayLiteral("+9.91E+37");
    }
    return scientific(value);
}

QByteArray ScpiAnswers::configuration(const ScpiReading& now) {
    return quoted(function(now) + (now.reading.RangeMode == "AUTO" ? " AUTO" : " MANU"));
}

QByteArray ScpiAnswers::unit(const ScpiReading& now) {
    const QString base = baseUnitOf(now);
    static const std::pair<const char16_t*, const char*> kNames[] = {
        {u"V", "V"},   {u"A", "A"},   {u"\u03A9", "OHM"},  {u"F", "F"},
        {u"Hz", "HZ"}, {u"%", "PCT"}, {u"\u00B0C", "CEL"}, {u"\u00B0F", "FAR"},
    };
    for (const auto& [symbol, name] : kNames)
        if (base == QStringView(symbol)) return quoted(name);
    return quoted("NONE");
}

QByteArray ScpiAnswers::identity() {
    return QByteArrayLiteral("dmm-interface,58-4410C,0," DMM_VERSION);
}

QByteArray ScpiAnswers::answerLine(QByteArrayView line, const ScpiReading& now,
                                   ScpiErrorQueue& errors) {
    std::vector<QByteArray> answers;
    for (const ScpiCommand& c : ScpiParser::parse(line)) {
        if (c.id == ScpiCommandId::Unknown) {
            errors.push(-113, "Undefined header");
            continue;
        }
        if (c.hasParameters) {
            errors.push(-108, "Parameter not allowed");
            continue;
        }
        switch (c.id) {
        case ScpiCommandId::Identify:
            answers.push_back(identity());
            break;
        case ScpiCommandId::Read:
        case ScpiCommandId::Fetch:
        case ScpiCommandId::Measure:
            answers.push_back(measurement(now, errors));
            break;
        case ScpiCommandId::ConfigureQuery:
            answers.push_back(configuration(now));
            break;
        case ScpiCommandId::UnitQuery:
            answers.push_back(unit(now));
            break;
        case ScpiCommandId::ErrorQuery:
            answers.push_back(errors.takeOldest());
            break;
        case ScpiCommandId::ClearStatus:
        case ScpiCommandId::Reset:
            errors.clear();
            break; // the server only reports
        case ScpiCommandId::OperationCompleteQuery:
            answers.push_back("1");
            break;
        case ScpiCommandId::Unknown:
            break;
        }
    }
    if (answers.empty()) return {};
    QByteArray out = answers.front();
    for (std::size_t i = 1; i < answers.size(); ++i) out += ';' + answers[i];
    return out + '\n';
}

} // namespace dmm::scpi

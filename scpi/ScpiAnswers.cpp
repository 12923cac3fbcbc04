#include "ScpiAnswers.h"

#include "MeterFamily.h"
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

bool isStale(const ScpiReading& now) {
    return !now.decoded || now.ageMs > ScpiAnswers::kStaleMs;
}

QByteArray withCoupling(const char* name, Coupling c) {
    return QByteArray(name) + (c == Coupling::AC ? ":AC" : c == Coupling::ACDC ? ":ACDC" : ":DC");
}

QByteArray function(const Measurement& m) {
    switch (m.quantity) {
    case Quantity::Diode:
        return "DIOD";
    case Quantity::Continuity:
        return "CONT";
    case Quantity::TemperatureC:
    case Quantity::TemperatureF:
        return "TEMP";
    case Quantity::DutyCycle:
        return "DUTY";
    case Quantity::Frequency:
        return "FREQ";
    case Quantity::Capacitance:
        return "CAP";
    case Quantity::Resistance:
        return "RES";
    case Quantity::Voltage:
        return withCoupling("VOLT", m.coupling);
    case Quantity::Current:
        return withCoupling("CURR", m.coupling);
    case Quantity::None:
    case Quantity::Power:
    case Quantity::Rpm:
    case Quantity::LoopPercent:
        break;
    }
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
    const Measurement& m = now.reading.measurement;
    if (!isStale(now) && m.state == ValueState::Overload) return QByteArrayLiteral("+9.9E+37");
    if (isStale(now) || m.state != ValueState::Number) {
        errors.push(-230, "Data corrupt or stale");
        return QByteArrayLiteral("+9.91E+37");
    }
    // A unit without a base unit is answered as shown.
    return scientific(m.value());
}

QByteArray ScpiAnswers::configuration(const ScpiReading& now) {
    const Measurement& m = now.reading.measurement;
    return quoted(function(m) + (m.rangeMode == "AUTO" ? " AUTO" : " MANU"));
}

QByteArray ScpiAnswers::unit(const ScpiReading& now) {
    // The base unit of the reading's unit, whatever the display shows (an overload too).
    const std::string& base = now.reading.measurement.baseUnit;
    static const std::pair<const char*, const char*> kNames[] = {
        {"V", "V"},   {"A", "A"},   {"\u03A9", "OHM"},  {"F", "F"},
        {"Hz", "HZ"}, {"%", "PCT"}, {"\u00B0C", "CEL"}, {"\u00B0F", "FAR"},
    };
    for (const auto& [symbol, name] : kNames)
        if (base == symbol) return quoted(name);
    return quoted("NONE");
}

QByteArray ScpiAnswers::identity() {
    const std::string_view model = shippedModel().name;
    return "dmm-interface," + QByteArray(model.data(), static_cast<qsizetype>(model.size())) +
           ",0," DMM_VERSION;
}

QByteArray ScpiAnswers::statistic(ScpiCommandId id, const ScpiReading& now,
                                  ScpiErrorQueue& errors) {
    std::optional<double> v;
    if (const auto& g = now.statistics) {
        if (id == ScpiCommandId::CountQuery) return QByteArray::number(g->count());
        if (id == ScpiCommandId::SdevQuery)
            v = g->sdev();
        else if (g->hasValues())
            v = id == ScpiCommandId::AverageQuery   ? g->mean()
                : id == ScpiCommandId::MinimumQuery ? g->min()
                : id == ScpiCommandId::MaximumQuery ? g->max()
                                                    : g->ptp();
    }
    if (v) return scientific(*v);
    errors.push(-230, "Data corrupt or stale");
    return QByteArrayLiteral("+9.91E+37");
}

QByteArray ScpiAnswers::answerLine(QByteArrayView line, const ScpiReading& reading,
                                   ScpiErrorQueue& errors) {
    ScpiReading now = reading; // a restart of the statistics shows in the line's later queries
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
        case ScpiCommandId::AverageQuery:
        case ScpiCommandId::MinimumQuery:
        case ScpiCommandId::MaximumQuery:
        case ScpiCommandId::CountQuery:
        case ScpiCommandId::SdevQuery:
        case ScpiCommandId::PtpQuery:
            answers.push_back(statistic(c.id, now, errors));
            break;
        case ScpiCommandId::ClearStatistics:
            if (now.clearStatistics) now.clearStatistics();
            now.statistics.reset();
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

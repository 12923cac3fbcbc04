#include "ScpiParser.h"

#include <QByteArray>
#include <QList>

namespace dmm::scpi {

namespace {

struct KnownHeader {
    const char* pattern; // mnemonics joined by ':', long forms with the short form in capitals
    ScpiCommandId id;
};

constexpr KnownHeader kHeaders[] = {
    {"*IDN?", ScpiCommandId::Identify},
    {"READ?", ScpiCommandId::Read},
    {"FETCh?", ScpiCommandId::Fetch},
    {"MEASure?", ScpiCommandId::Measure},
    {"CONFigure?", ScpiCommandId::ConfigureQuery},
    {"UNIT?", ScpiCommandId::UnitQuery},
    {"SYSTem:ERRor?", ScpiCommandId::ErrorQuery},
    {"SYSTem:ERRor:NEXT?", ScpiCommandId::ErrorQuery},
    {"*CLS", ScpiCommandId::ClearStatus},
    {"*RST", ScpiCommandId::Reset},
    {"*OPC?", ScpiCommandId::OperationCompleteQuery},
    {"CALCulate:AVERage:AVERage?", ScpiCommandId::AverageQuery},
    {"CALCulate:AVERage:MINimum?", ScpiCommandId::MinimumQuery},
    {"CALCulate:AVERage:MAXimum?", ScpiCommandId::MaximumQuery},
    {"CALCulate:AVERage:COUNt?", ScpiCommandId::CountQuery},
    {"CALCulate:AVERage:SDEViation?", ScpiCommandId::SdevQuery},
    {"CALCulate:AVERage:PTPeak?", ScpiCommandId::PtpQuery},
    {"CALCulate:AVERage:CLEar", ScpiCommandId::ClearStatistics},
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

QByteArrayView trimmed(QByteArrayView text) {
    while (!text.isEmpty() && isBlank(text.front())) text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back())) text.chop(1);
    return text;
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equalIgnoringCase(QByteArrayView a, QByteArrayView b) {
    if (a.size() != b.size()) return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upper(b[i])) return false;
    return true;
}

// `header` (its leading ':' removed) against a pattern, mnemonic by mnemonic.
bool headerMatches(QByteArrayView header, QByteArrayView pattern) {
    const bool query = header.endsWith('?');
    if (query != pattern.endsWith('?')) return false;
    if (query) {
        header.chop(1);
        pattern.chop(1);
    }
    const QList<QByteArray> have = header.toByteArray().split(':');
    const QList<QByteArray> want = pattern.toByteArray().split(':');
    if (have.size() != want.size()) return false;
    for (qsizetype i = 0; i < have.size(); ++i)
        if (!ScpiParser::matches(have[i], want[i])) return false;
    return true;
}

} // namespace

bool ScpiParser::matches(QByteArrayView mnemonic, QByteArrayView pattern) {
    if (mnemonic.isEmpty()) return false;
    if (equalIgnoringCase(mnemonic, pattern)) return true;
    QByteArray shortForm;
    for (char c : pattern)
        if (!(c >= 'a' && c <= 'z')) shortForm += c;
    return equalIgnoringCase(mnemonic, shortForm);
}

ScpiCommand ScpiParser::parseCommand(QByteArrayView text) {
    text = trimmed(text);
    qsizetype end = 0;
    while (end < text.size() && !isBlank(text[end])) ++end;
    QByteArrayView header = text.first(end);
    ScpiCommand command;
    command.hasParameters = !trimmed(text.sliced(end)).isEmpty();
    if (header.startsWith(':') && !header.startsWith(":*")) header = header.sliced(1);
    for (const KnownHeader& known : kHeaders) {
        if (headerMatches(header, QByteArrayView(known.pattern))) {
            command.id = known.id;
            break;
        }
    }
    return command;
}

std::vector<ScpiCommand> ScpiParser::parse(QByteArrayView line) {
    std::vector<ScpiCommand> commands;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= line.size(); ++i) {
        if (i < line.size() && line[i] == '"') quoted = !quoted;
        if (i < line.size() && (quoted || line[i] != ';')) continue;
        const QByteArrayView text = trimmed(line.sliced(start, i - start));
        if (!text.isEmpty()) commands.push_back(parseCommand(text));
        start = i + 1;
    }
    return commands;
}

} // namespace dmm::scpi

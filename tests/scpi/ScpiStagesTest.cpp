// The server's pure stages, table by table: the parser, the error queue, the line buffer, the
// answers from a reading, the listening address.
#include "MeterWatch.h"
#include "ScpiAddress.h"
#include "ScpiAnswers.h"
#include "ScpiErrorQueue.h"
#include "ScpiLineBuffer.h"
#include "ScpiParser.h"
#include "ScpiSession.h"
#include "ShownValue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dmm::scpi {
namespace {

using Id = ScpiCommandId;

TEST(ScpiParser, HeadersInLongAndShortFormAnyCase) {
    struct Case {
        const char* text;
        Id id;
        bool parameters;
    };
    const Case cases[] = {
        {"*IDN?", Id::Identify, false},
        {"*idn?", Id::Identify, false},
        {"READ?", Id::Read, false},
        {"read?", Id::Read, false},
        {"FETCh?", Id::Fetch, false},
        {"FETC?", Id::Fetch, false},
        {"fetch?", Id::Fetch, false},
        {"MEASure?", Id::Measure, false},
        {"meas?", Id::Measure, false},
        {"CONFigure?", Id::ConfigureQuery, false},
        {"CONF?", Id::ConfigureQuery, false},
        {"conf?", Id::ConfigureQuery, false},
        {"UNIT?", Id::UnitQuery, false},
        {"SYSTem:ERRor?", Id::ErrorQuery, false},
        {"SYST:ERR?", Id::ErrorQuery, false},
        {":syst:err?", Id::ErrorQuery, false},
        {"system:error:next?", Id::ErrorQuery, false},
        {"syst:err:next?", Id::ErrorQuery, false},
        {"*CLS", Id::ClearStatus, false},
        {"*rst", Id::Reset, false},
        {"*OPC?", Id::OperationCompleteQuery, false},
        {"CALCulate:AVERage:AVERage?", Id::AverageQuery, false},
        {"calc:aver:aver?", Id::AverageQuery, false},
        {"CALC:AVER:MIN?", Id::MinimumQuery, false},
        {"CALC:AVER:MAXimum?", Id::MaximumQuery, false},
        {"CALC:AVER:COUN?", Id::CountQuery, false},
        {"CALC:AVER:SDEV?", Id::SdevQuery, false},
        {"CALC:AVER:PTP?", Id::PtpQuery, false},
        {":CALC:AVER:CLE", Id::ClearStatistics, false},
        {"  READ?  ", Id::Read, false},
        {"\tREAD?\r", Id::Read, false},
        // neither form
        {"FET?", Id::Unknown, false},
        {"FETCHES?", Id::Unknown, false},
        {"CONFIG?", Id::Unknown, false},
        {"SYS:ERR?", Id::Unknown, false},
        {"SYST:ERRO?", Id::Unknown, false},
        {"CALC:AVER?", Id::Unknown, false},
        {"CALC:AVER:CLE?", Id::Unknown, false},
        // a query where a command is known, and the other way round
        {"READ", Id::Unknown, false},
        {"*CLS?", Id::Unknown, false},
        {"*IDN", Id::Unknown, false},
        {"SYST:ERR", Id::Unknown, false},
        // path shapes
        {"SYST:?", Id::Unknown, false},
        {"SYST::ERR?", Id::Unknown, false},
        {"ERR?", Id::Unknown, false},
        {":*IDN?", Id::Unknown, false},
        {"?", Id::Unknown, false},
        {"\xff\xfe?", Id::Unknown, false},
        // parameters
        {"READ? 1", Id::Read, true},
        {"*CLS now", Id::ClearStatus, true},
        {"CONF? \"x\"", Id::ConfigureQuery, true},
    };
    for (const Case& c : cases) {
        const ScpiCommand got = ScpiParser::parseCommand(c.text);
        EXPECT_EQ(got.id, c.id) << c.text;
        EXPECT_EQ(got.hasParameters, c.parameters) << c.text;
    }
}

TEST(ScpiParser, ALineSplitsOnSemicolonsOutsideQuotes) {
    struct Case {
        const char* line;
        std::vector<Id> ids;
    };
    const Case cases[] = {
        {"", {}},
        {"   ", {}},
        {";", {}},
        {";;READ?;;", {Id::Read}},
        {"*IDN?;READ?", {Id::Identify, Id::Read}},
        {"*cls ; conf? ;unit?", {Id::ClearStatus, Id::ConfigureQuery, Id::UnitQuery}},
        {"BOGUS;READ?", {Id::Unknown, Id::Read}},
        {"READ? \"a;b\";*OPC?", {Id::Read, Id::OperationCompleteQuery}},
        {"\"unterminated;READ?", {Id::Unknown}},
    };
    for (const Case& c : cases) {
        std::vector<Id> ids;
        for (const ScpiCommand& command : ScpiParser::parse(c.line)) ids.push_back(command.id);
        EXPECT_EQ(ids, c.ids) << c.line;
    }
}

TEST(ScpiErrorQueue, OldestFirstAndOverflowReplacesTheNewest) {
    ScpiErrorQueue q;
    EXPECT_EQ(q.takeOldest(), "0,\"No error\"");
    for (int i = 1; i <= ScpiErrorQueue::kCapacity; ++i) q.push(-100 - i, "e");
    EXPECT_EQ(q.size(), 20);
    q.push(-113, "Undefined header"); // one too many
    q.push(-113, "Undefined header");
    EXPECT_EQ(q.size(), 20);
    EXPECT_EQ(q.takeOldest(), "-101,\"e\"");
    for (int i = 2; i <= 19; ++i)
        EXPECT_EQ(q.takeOldest(), "-" + QByteArray::number(100 + i) + ",\"e\"");
    EXPECT_EQ(q.takeOldest(), "-350,\"Queue overflow\"");
    EXPECT_EQ(q.takeOldest(), "0,\"No error\"");
    EXPECT_EQ(q.size(), 0);
    q.push(-230, "Data corrupt or stale");
    q.clear();
    EXPECT_EQ(q.takeOldest(), "0,\"No error\"");
}

// Feeds `chunks` in turn; each line as its text, each line too long as "<too long>".
std::vector<std::string> linesOf(const std::vector<QByteArray>& chunks) {
    ScpiLineBuffer buffer;
    std::vector<std::string> out;
    for (const QByteArray& chunk : chunks)
        for (const ScpiLineBuffer::Line& l : buffer.append(chunk))
            out.push_back(l.tooLong ? "<too long>" : l.text.toStdString());
    return out;
}

TEST(ScpiLineBuffer, LinesUpTo4KiBAndLongerOnesDroppedOnce) {
    const QByteArray max(ScpiLineBuffer::kMaxLine, 'a');
    const QByteArray over(ScpiLineBuffer::kMaxLine + 1, 'b');
    struct Case {
        const char* name;
        std::vector<QByteArray> chunks;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"one line", {"READ?\n"}, {"READ?"}},
        {"CR LF", {"READ?\r\n"}, {"READ?"}},
        {"split across chunks", {"RE", "AD", "?\n*IDN?\nSY"}, {"READ?", "*IDN?"}},
        {"empty lines", {"\n\r\n"}, {"", ""}},
        {"no line end yet", {"READ?"}, {}},
        {"exactly the bound", {max + "\n"}, {max.toStdString()}},
        {"the bound and CR LF", {max + "\r\n"}, {max.toStdString()}},
        {"the bound in pieces", {max.left(10), max.mid(10), "\r", "\n"}, {max.toStdString()}},
        {"one over", {over + "\n"}, {"<too long>"}},
        {"one over with CR", {over + "\r\n"}, {"<too long>"}},
        {"one over in pieces",
         {over.left(100), over.mid(100), "\nREAD?\n"},
         {"<too long>", "READ?"}},
        {"reported once, before its end", {over, over, over}, {"<too long>"}},
        {"the next line is whole", {over + over + "\n*IDN?\n"}, {"<too long>", "*IDN?"}},
    };
    for (const Case& c : cases) EXPECT_EQ(linesOf(c.chunks), c.lines) << c.name;
}

TEST(ScpiLineBuffer, HoldsNoMoreThanOneLineWhateverComes) {
    ScpiLineBuffer buffer;
    const QByteArray mega(1024 * 1024, 'x');
    for (int i = 0; i < 10; ++i) {
        buffer.append(mega);
        EXPECT_LE(buffer.pendingBytes(), ScpiLineBuffer::kMaxLine + 1);
    }
}

ScpiReading fresh(const char* value, const char* unit, const char* dcac, const char* range) {
    ScpiReading r;
    r.decoded = true;
    r.ageMs = 400;
    r.reading.ValueText = value;
    r.reading.UnitText = unit;
    r.reading.DcAc = dcac;
    r.reading.RangeMode = range;
    r.reading.measurement = readMeasurement(value, unit, dcac, range);
    return r;
}

TEST(ScpiAnswers, ReadingsInTheBaseUnitConfigurationAndUnit) {
    struct Case {
        ScpiReading now;
        const char* read;
        const char* conf;
        const char* unit;
    };
    ScpiReading continuity = fresh("012.3", "*", "OHM", "AUTO");
    continuity.reading.measurement.quantity = Quantity::Continuity; // the annunciator was on
    const Case cases[] = {
        {fresh("12.345", "mV", "DC", "AUTO"), "+1.234500E-02", "\"VOLT:DC AUTO\"", "\"V\""},
        {fresh("-1.2345", "V", "AC", ""), "-1.234500E+00", "\"VOLT:AC MANU\"", "\"V\""},
        {fresh("1,2345", "V", "AC+DC", "MANU"), "+1.234500E+00", "\"VOLT:ACDC MANU\"", "\"V\""},
        {fresh("0.0000", "V", "", "AUTO"), "+0.000000E+00", "\"VOLT:DC AUTO\"", "\"V\""},
        {fresh("-0.0000", "V", "DC", "AUTO"), "+0.000000E+00", "\"VOLT:DC AUTO\"", "\"V\""},
        {fresh("199.99", "uA", "DC", "AUTO"), "+1.999900E-04", "\"CURR:DC AUTO\"", "\"A\""},
        {fresh("19.99", "mA", "AC", ""), "+1.999000E-02", "\"CURR:AC MANU\"", "\"A\""},
        {fresh("9.999", "A", "AC+DC", ""), "+9.999000E+00", "\"CURR:ACDC MANU\"", "\"A\""},
        {fresh("12.316", "k*", "OHM", "AUTO"), "+1.231600E+04", "\"RES AUTO\"", "\"OHM\""},
        {fresh("1.2345", "M*", "OHM", ""), "+1.234500E+06", "\"RES MANU\"", "\"OHM\""},
        {continuity, "+1.230000E+01", "\"CONT AUTO\"", "\"OHM\""},
        {fresh("0.123", "&", "", ""), "+1.230000E-01", "\"CONT MANU\"", "\"OHM\""},
        {fresh("0.5123", "V", "Diode", ""), "+5.123000E-01", "\"DIOD MANU\"", "\"V\""},
        {fresh("0.512", ")", "", ""), "+5.120000E-01", "\"DIOD MANU\"", "\"V\""},
        {fresh("10.01", "nF", "CAP", "AUTO"), "+1.001000E-08", "\"CAP AUTO\"", "\"F\""},
        {fresh("1.000", "kHz", "Frequency", "AUTO"), "+1.000000E+03", "\"FREQ AUTO\"", "\"HZ\""},
        {fresh("50.00", "%", "Frequency", "AUTO"), "+5.000000E+01", "\"DUTY AUTO\"", "\"PCT\""},
        {fresh("23.5", "#", "Temperature", ""), "+2.350000E+01", "\"TEMP MANU\"", "\"CEL\""},
        {fresh("-40.0", "?", "Temperature", ""), "-4.000000E+01", "\"TEMP MANU\"", "\"FAR\""},
        // no base unit: the number as shown
        {fresh("12.5", "W", "", ""), "+1.250000E+01", "\"NONE MANU\"", "\"NONE\""},
        {fresh("12.50", "mA%", "", ""), "+1.250000E+01", "\"NONE MANU\"", "\"NONE\""},
        // overloads, both forms, either sign
        {fresh("0.L", "V", "DC", "AUTO"), "+9.9E+37", "\"VOLT:DC AUTO\"", "\"V\""},
        {fresh("-.0L", "M*", "OHM", "AUTO"), "+9.9E+37", "\"RES AUTO\"", "\"OHM\""},
        {fresh("L0.", "mV", "DC", ""), "+9.9E+37", "\"VOLT:DC MANU\"", "\"V\""},
    };
    for (const Case& c : cases) {
        ScpiErrorQueue errors;
        const std::string what = c.now.reading.ValueText + " " + c.now.reading.UnitText;
        EXPECT_EQ(ScpiAnswers::measurement(c.now, errors), c.read) << what;
        EXPECT_EQ(errors.size(), 0) << what;
        EXPECT_EQ(ScpiAnswers::configuration(c.now), c.conf) << what;
        EXPECT_EQ(ScpiAnswers::unit(c.now), c.unit) << what;
    }
}

TEST(ScpiAnswers, AStaleOrMissingReadingGivesTheStaleValueAndQueues230) {
    ScpiReading never;
    ScpiReading old = fresh("1.0000", "V", "DC", "AUTO");
    old.ageMs = ScpiAnswers::kStaleMs + 1;
    ScpiReading justFresh = old;
    justFresh.ageMs = ScpiAnswers::kStaleMs;
    ScpiReading oldOverload = fresh("0.L", "V", "DC", "AUTO");
    oldOverload.ageMs = 60000;
    struct Case {
        const char* name;
        ScpiReading now;
        const char* read;
        int errors;
    };
    const Case cases[] = {
        {"no frame yet", never, "+9.91E+37", 1},
        {"older than 5 s", old, "+9.91E+37", 1},
        {"exactly 5 s", justFresh, "+1.000000E+00", 0},
        {"an old overload", oldOverload, "+9.91E+37", 1},
        {"no number on the display", fresh("", "V", "DC", ""), "+9.91E+37", 1},
    };
    for (const Case& c : cases) {
        ScpiErrorQueue errors;
        EXPECT_EQ(ScpiAnswers::measurement(c.now, errors), c.read) << c.name;
        EXPECT_EQ(errors.size(), c.errors) << c.name;
        if (c.errors) {
            EXPECT_EQ(errors.takeOldest(), "-230,\"Data corrupt or stale\"") << c.name;
        }
    }
}

TEST(ScpiAnswers, ProgramMessagesAndTheErrorsTheyQueue) {
    const ScpiReading now = fresh("12.345", "mV", "DC", "AUTO");
    const QByteArray idn = "dmm-interface,58-4410C,0," DMM_TEST_VERSION;
    struct Case {
        std::vector<const char*> lines;
        QByteArray answers; // of all lines together
    };
    const Case cases[] = {
        {{"*IDN?"}, idn + "\n"},
        {{"READ?"}, "+1.234500E-02\n"},
        {{"read?;fetc?;MEAS?"}, "+1.234500E-02;+1.234500E-02;+1.234500E-02\n"},
        {{"CONF?;UNIT?"}, "\"VOLT:DC AUTO\";\"V\"\n"},
        {{"*OPC?"}, "1\n"},
        {{"SYST:ERR?"}, "0,\"No error\"\n"},
        {{"*CLS", "*RST", ""}, ""},
        {{"BOGUS?"}, ""},
        {{"BOGUS?", "SYST:ERR?;SYST:ERR?"}, "-113,\"Undefined header\";0,\"No error\"\n"},
        {{"READ? 3;SYST:ERR?"}, "-108,\"Parameter not allowed\"\n"},
        {{"NOPE;READ?;SYST:ERR?"}, "+1.234500E-02;-113,\"Undefined header\"\n"},
        {{"X", "X", "*CLS", "SYST:ERR?"}, "0,\"No error\"\n"},
        {{"X", "*RST;SYST:ERR?"}, "0,\"No error\"\n"},
    };
    for (const Case& c : cases) {
        ScpiErrorQueue errors;
        QByteArray got;
        for (const char* line : c.lines) got += ScpiAnswers::answerLine(line, now, errors);
        EXPECT_EQ(got, c.answers) << c.lines.front();
    }
}

// The figures of the latest recorded row's group, step by step: each step records its row (if
// any) into the watch and asks its line.
TEST(ScpiAnswers, StatisticsOfTheLatestRecordedRowsGroup) {
    struct Step {
        const char* value; // recorded before the line; null: none
        const char* unit;
        const char* dcAc;
        const char* line;
        QByteArray answer;
    };
    const char* all = "CALC:AVER:AVER?;CALC:AVER:MIN?;CALC:AVER:MAX?;CALC:AVER:COUN?;"
                      "CALC:AVER:SDEV?;CALC:AVER:PTP?";
    const Step steps[] = {
        {nullptr, "", "", "CALC:AVER:AVER?;CALC:AVER:COUN?", "+9.91E+37;+9.91E+37\n"},
        {"1.0000", "V", "DC", "CALC:AVER:SDEV?;CALC:AVER:COUN?", "+9.91E+37;1\n"},
        {"2000.0", "mV", "DC", "CALC:AVER:AVER?", "+1.500000E+00\n"},
        {"0.L", "V", "DC", "CALC:AVER:COUN?;SYST:ERR?", "2;-230,\"Data corrupt or stale\"\n"},
        {"3.0000", "V", "DC", all,
         "+2.000000E+00;+1.000000E+00;+3.000000E+00;3;+1.000000E+00;+2.000000E+00\n"},
        {"5.0", "V", "AC", "CALC:AVER:AVER?;CALC:AVER:COUN?", "+5.000000E+00;1\n"},
        {"4.0", "V", "DC", "CALC:AVER:CLE;CALC:AVER:COUN?", "+9.91E+37\n"},
        {"4.0", "V", "DC", "CALC:AVER:COUN?;CALC:AVER:AVER?", "1;+4.000000E+00\n"},
    };
    MeterWatch watch;
    ScpiErrorQueue errors;
    int no = 0;
    for (const Step& s : steps) {
        if (s.value) {
            RecordedRow r;
            r.row.no = ++no;
            r.measurement = readMeasurement(s.value, s.unit, s.dcAc);
            watch.rowRecorded(r);
        }
        const QByteArray got = ScpiAnswers::answerLine(s.line, watch.reading(), errors);
        EXPECT_EQ(got, s.answer) << no << s.line;
    }
}

TEST(ScpiAnswers, ValuesInTheAnswerForm) {
    const std::pair<double, const char*> cases[] = {
        {0.012345, "+1.234500E-02"}, {-0.012345, "-1.234500E-02"}, {0, "+0.000000E+00"},
        {12340000, "+1.234000E+07"}, {1e-8, "+1.000000E-08"},      {-0.0, "+0.000000E+00"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(ScpiAnswers::scientific(value), text);
}

TEST(ScpiSession, TooLongLinesQueue223AndTheSessionGoesOn) {
    ScpiSession session;
    const ReadingSource source = [] { return fresh("1.0000", "V", "DC", "AUTO"); };
    EXPECT_EQ(session.receive(QByteArray(5000, 'x'), source), "");
    EXPECT_EQ(session.receive(QByteArray(5000, 'x') + "\nREAD?\n", source), "+1.000000E+00\n");
    EXPECT_EQ(session.receive("SYST:ERR?;SYST:ERR?\n", source),
              "-223,\"Too much data\";0,\"No error\"\n");
}

TEST(ScpiAddress, PortWithOrWithoutAnAddress) {
    struct Case {
        const char* text;
        bool ok;
        const char* where;
    };
    const Case cases[] = {
        {"5025", true, "127.0.0.1:5025"},
        {"0", true, "127.0.0.1:0"},
        {"127.0.0.1:5025", true, "127.0.0.1:5025"},
        {"0.0.0.0:5025", true, "0.0.0.0:5025"},
        {"192.168.1.20:65535", true, "192.168.1.20:65535"},
        {"[::1]:5025", true, "[::1]:5025"},
        {"", false, ""},
        {"65536", false, ""},
        {"-1", false, ""},
        {"+5025", false, ""},
        {"localhost:5025", false, ""},
        {"::1:5025", false, ""},
        {"1.2.3.4:", false, ""},
        {"1.2.3.4:x", false, ""},
    };
    for (const Case& c : cases) {
        ScpiAddress a;
        const QString error = ScpiAddress::parse(QString::fromLatin1(c.text), a);
        EXPECT_EQ(error.isEmpty(), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(a.toString().toStdString(), c.where) << c.text;
        }
    }
}

} // namespace
} // namespace dmm::scpi

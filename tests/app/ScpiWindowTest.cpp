// The window with --scpi, as main() wires it: PyVISA reads the window's last decoded reading
// while dmm simulate feeds the meter on a pseudo-terminal, and a hostile client neither changes
// what is recorded nor holds the event loop.
#include "FakeHidPlatform.h"
#include "MeterWatch.h"
#include "QV31F.h"
#include "ReadingsTable.h"
#include "RecordedRow.h"
#include "ScpiServer.h"
#include "ScriptedDialogs.h"
#include "WindowOptions.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <optional>

using namespace dmm;
using namespace dmm::app;

namespace {

const char* kPython = "/usr/bin/python3";

QString dmmBinary() {
    return qEnvironmentVariable("DMM_BINARY_DIR") + QStringLiteral("/tools/dmm/dmm");
}

QString clientScript() {
    return qEnvironmentVariable("DMM_SOURCE_DIR") + QStringLiteral("/tests/scpi/scpi_client.py");
}

// Runs the PyVISA client while this process's event loop keeps turning; its output lines.
QStringList runClient(const QStringList& args) {
    QProcess client;
    client.start(QString::fromLatin1(kPython), QStringList{clientScript()} + args);
    QElapsedTimer clock;
    clock.start();
    while (client.state() != QProcess::NotRunning && clock.elapsed() < 120000) QTest::qWait(5);
    const QByteArray err = client.readAllStandardError();
    if (!err.isEmpty()) std::fprintf(stderr, "%s", err.constData());
    QStringList lines = QString::fromUtf8(client.readAllStandardOutput()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty()) lines.pop_back();
    return lines;
}

// "COM Connect", found by its name as a user finds it by its caption.
QPushButton* comButton(TFCOMM& w) {
    return w.findChild<QPushButton*>(QStringLiteral("COMCon"));
}

// The base-unit value of a recorded row as READ? writes it.
QString answerForm(const ReadingsTable& table, int row) {
    const Measurement v = RecordedRow::fromTable(table, row).measurement;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%+.6E", QString::fromStdString(v.valueText()).toDouble());
    return QString::fromLatin1(buf).replace(QLatin1Char(','), QLatin1Char('.'));
}

TEST(ScpiWindow, PyVisaReadsTheWindowsReadingAndAHostileClientChangesNothing) {
    if (!QFile::exists(dmmBinary())) GTEST_SKIP() << "dmm is not built";
    ASSERT_TRUE(QFile::exists(QString::fromLatin1(kPython))) << "Debian's python3 is missing";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString sent = dir.filePath(QStringLiteral("sent.jsonl"));
    QProcess meter;
    meter.start(dmmBinary(),
                {QStringLiteral("simulate"), QStringLiteral("--pty"), QStringLiteral("--rate"),
                 QStringLiteral("25"), QStringLiteral("--log"), sent});
    ASSERT_TRUE(meter.waitForStarted(5000));
    ASSERT_TRUE(meter.waitForReadyRead(5000));
    const QString pty = QString::fromLocal8Bit(meter.readLine()).trimmed();
    const auto meterPid = static_cast<pid_t>(meter.processId());

    ScriptedDialogs dialogs;
    FakeHidPlatform hid;
    TFCOMM w(&dialogs, &hid);
    w.show();
    ASSERT_NE(comButton(w), nullptr);
    // As main() wires --scpi.
    scpi::MeterWatch watch;
    w.pipeline().addSink(&watch);
    scpi::ScpiServer server([&] { return watch.reading(); });
    ASSERT_EQ(server.listen(scpi::ScpiAddress{QHostAddress::LocalHost, 0}), QString());
    const QString port = QString::number(server.address().port);

    qputenv("DMM_COM1", pty.toLocal8Bit());
    comButton(w)->click();
    qunsetenv("DMM_COM1");
    QElapsedTimer clock;
    clock.start();
    while (w.cds1().size() < 5 && clock.elapsed() < 10000) QTest::qWait(20);
    ASSERT_GE(w.cds1().size(), 5);

    // The longest wait between two ticks of a 10 ms timer while the hostile client runs. A
    // server that waited for the client would hold the loop for as long as the client stalls
    // (seconds); a loaded machine alone gives gaps of a hundred milliseconds and more, hence
    // the slack.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    sinceTick.start();
    tick.start(10);
    const QStringList duringAttack = runClient({QStringLiteral("attack"), port});
    tick.stop();
    EXPECT_LT(longestGap, 1000) << "the event loop waited " << longestGap << " ms";

    // A second more of frames after the attack, then the meter falls silent; the window records
    // what it had.
    QTest::qWait(1000);
    ::kill(meterPid, SIGSTOP);
    QTest::qWait(600);
    const ReadingsTable& rows = w.cds1();
    QStringList recorded, recordedAnswers;
    for (int r = 0; r < rows.size(); ++r) {
        recorded
            << rows.text(r, Field::Value).replace(w.LocaleDecimalSeparator, QStringLiteral("."));
        recordedAnswers << answerForm(rows, r);
    }
    QFile log(sent);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    QStringList frames;
    while (!log.atEnd())
        frames << QJsonDocument::fromJson(log.readLine()).object().value("value").toString();
    // Frames sent before the port opened are lost; from the first row on, the rows are the
    // frames sent up to the last one. The simulator logs a frame after sending it, so it may
    // have been stopped in between: one row more than the log is allowed.
    const auto endsTheLog = [&](const QStringList& part) {
        return !part.isEmpty() && part.size() <= frames.size() &&
               frames.mid(frames.size() - part.size()) == part;
    };
    EXPECT_TRUE(endsTheLog(recorded) || endsTheLog(recorded.mid(0, recorded.size() - 1)))
        << "the rows are not the frames sent: " << recorded.size() << " rows, " << frames.size()
        << " frames";
    ASSERT_FALSE(duringAttack.isEmpty());
    for (const QString& answer : duringAttack)
        EXPECT_TRUE(recordedAnswers.contains(answer)) << answer.toStdString();

    const QStringList answers =
        runClient({QStringLiteral("query"), port, QStringLiteral("*IDN?"), QStringLiteral("READ?"),
                   QStringLiteral("CONF?"), QStringLiteral("UNIT?"), QStringLiteral("NOPE"),
                   QStringLiteral("SYST:ERR?"), QStringLiteral("SYST:ERR?")});
    ASSERT_EQ(answers.size(), 6);
    EXPECT_EQ(answers[0], QStringLiteral("dmm-interface,58-4410C,0," DMM_TEST_VERSION));
    EXPECT_EQ(answers[1], recordedAnswers.back());
    EXPECT_EQ(answers[2], QStringLiteral("\"VOLT:DC %1\"")
                              .arg(w.meter.reading.RangeMode == "AUTO" ? "AUTO" : "MANU"));
    EXPECT_EQ(answers[3], QStringLiteral("\"V\""));
    EXPECT_EQ(answers[4], QStringLiteral("-113,\"Undefined header\""));
    EXPECT_EQ(answers[5], QStringLiteral("0,\"No error\""));

    comButton(w)->click();
    meter.terminate();
    ::kill(meterPid, SIGCONT);
    meter.waitForFinished(5000);
}

TEST(ScpiWindow, TheScpiOptionAndItsUsageErrors) {
    struct Case {
        QStringList args;
        std::optional<int> exitCode;
        const char* where; // "" for no server
    };
    const Case cases[] = {
        {{}, std::nullopt, ""},
        {{"--scpi", "5025"}, std::nullopt, "127.0.0.1:5025"},
        {{"--scpi=0.0.0.0:5025"}, std::nullopt, "0.0.0.0:5025"},
        {{"--scpi", "[::1]:5025"}, std::nullopt, "[::1]:5025"},
        {{"--scpi"}, 2, ""},
        {{"--scpi", "x"}, 2, ""},
        {{"--scpi", "70000"}, 2, ""},
        {{"--scpi", "host.example:5025"}, 2, ""},
        // --http takes the same address form.
        {{"--http", "0"}, std::nullopt, "127.0.0.1:0"},
        {{"--http=0.0.0.0:8080"}, std::nullopt, "0.0.0.0:8080"},
        {{"--http", "x"}, 2, ""},
    };
    for (const Case& c : cases) {
        const ParsedWindowOptions parsed =
            parseWindowOptions(QStringList{QStringLiteral("dmm-interface")} + c.args);
        const std::string what = c.args.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(parsed.exitCode, c.exitCode) << what;
        const auto& where = c.args.join(QLatin1Char(' ')).contains(QLatin1String("--http"))
                                ? parsed.options.http
                                : parsed.options.scpi;
        EXPECT_EQ(where ? where->toString().toStdString() : "", c.where) << what;
    }
}

} // namespace

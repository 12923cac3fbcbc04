// dmm log as a black box, against dmm simulate on a pseudo-terminal.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <cstdlib>

namespace {

QString dmmPath() {
    return QString::fromLocal8Bit(std::getenv("DMM_BINARY_DIR")) + "/tools/dmm/dmm";
}

class DmmLog : public ::testing::Test {
protected:
    void SetUp() override {
        if (!QFile::exists(dmmPath())) GTEST_SKIP() << "dmm is not built";
        ASSERT_TRUE(dir.isValid());
        sim.setProgram(dmmPath());
        sim.setArguments({"simulate", "--pty", "--rate", "25"});
        sim.start();
        ASSERT_TRUE(sim.waitForStarted(5000));
        while (!sim.canReadLine()) ASSERT_TRUE(sim.waitForReadyRead(5000));
        pty = QString::fromLocal8Bit(sim.readLine()).trimmed();
    }
    void TearDown() override {
        sim.terminate();
        sim.waitForFinished(5000);
    }

    // Runs dmm log with `args` for about `ms`, then ends it with Ctrl-C (SIGINT).
    int runLog(const QStringList& args, int ms, QByteArray* out = nullptr) {
        QProcess log;
        log.setProgram(dmmPath());
        log.setArguments(QStringList{"log", "--port", pty} + args);
        log.start();
        if (!log.waitForStarted(5000)) return -1;
        QThread::msleep(ms);
        ::kill(static_cast<pid_t>(log.processId()), SIGINT);
        if (!log.waitForFinished(5000)) return -2;
        if (out) *out = log.readAllStandardOutput();
        return log.exitStatus() == QProcess::NormalExit ? log.exitCode() : -3;
    }

    static QList<QByteArray> lines(const QByteArray& text) {
        QList<QByteArray> l = text.split('\n');
        if (!l.isEmpty() && l.back().isEmpty()) l.pop_back();
        return l;
    }
    QByteArray fileBytes(const QString& name) {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    QProcess sim;
    QString pty;
};

constexpr const char* kHeader = "No\tTime\tDC/AC\tValue\tUnit\tAUTO\r";

TEST_F(DmmLog, WritesTheHeaderOnceAndNumbersOnAcrossRuns) {
    const QString file = dir.filePath("bench.xls");
    ASSERT_EQ(runLog({"--out", file}, 800), 0);
    ASSERT_EQ(runLog({"--out", file}, 800), 0);
    const auto l = lines(fileBytes(file));
    ASSERT_GT(l.size(), 10);
    EXPECT_EQ(l[0], kHeader);
    for (int i = 1; i < l.size(); ++i) {
        EXPECT_TRUE(l[i].endsWith('\r')) << i;
        const auto fields = l[i].chopped(1).split('\t');
        ASSERT_EQ(fields.size(), 6) << l[i].toStdString();
        EXPECT_EQ(fields[0].toInt(), i) << "numbering goes on after the last row";
        EXPECT_EQ(fields[2], "DC");
        EXPECT_EQ(fields[4], "V");
        EXPECT_EQ(fields[5], "pass"); // the wandering 12 V lies within the default limits
    }
}

TEST_F(DmmLog, ContinuesAfterATornLastLine) {
    const QString file = dir.filePath("torn.txt");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(
            "No\tTime\tDC/AC\tValue\tUnit\tAUTO\r\n41\t10:00:00\tDC\t1.0000\tV\tpass\r\n42\t10:0");
    }
    ASSERT_EQ(runLog({"--out", file}, 600), 0);
    const auto l = lines(fileBytes(file));
    ASSERT_GT(l.size(), 4);
    EXPECT_EQ(l[2], "42\t10:0\r") << "the torn line is closed, not joined with a new row";
    EXPECT_TRUE(l[3].startsWith("42\t")) << "numbering goes on after the last complete row";
}

TEST_F(DmmLog, StandardOutputGetsTheHeaderThenRows) {
    QByteArray out;
    ASSERT_EQ(runLog({}, 600, &out), 0);
    const auto l = lines(out);
    ASSERT_GT(l.size(), 3);
    EXPECT_EQ(l[0], kHeader);
    EXPECT_TRUE(l[1].startsWith("1\t"));
}

TEST_F(DmmLog, LimitsJudgeAndRecordLimitApply) {
    QByteArray out;
    ASSERT_EQ(runLog({"--high", "5", "--low", "-5", "--limit", "3"}, 800, &out), 0);
    const auto l = lines(out);
    ASSERT_EQ(l.size(), 4) << "the header and three rows";
    for (int i = 1; i < 4; ++i) EXPECT_TRUE(l[i].endsWith("\tFail\r")) << l[i].toStdString();
}

TEST_F(DmmLog, SamplingIntervalRecordsOncePerInterval) {
    QByteArray out;
    ASSERT_EQ(runLog({"--interval", "1"}, 3000, &out), 0);
    const auto l = lines(out);
    EXPECT_GE(l.size(), 2) << "at least one row";
    EXPECT_LE(l.size(), 5) << "about three rows in 3 s, not one per frame (25 a second)";
}

TEST(DmmLogArguments, BadArgumentsExitWithTwo) {
    if (!QFile::exists(dmmPath())) GTEST_SKIP() << "dmm is not built";
    const QList<QStringList> cases = {
        {"log"},
        {"log", "--port"},
        {"log", "--port", "COM1", "--interval", "0"},
        {"log", "--port", "COM1", "--limit", "x"},
        {"log", "--port", "COM1", "--high", "abc"},
        {"log", "--port", "COM1", "--bogus"},
    };
    for (const auto& args : cases) {
        QProcess p;
        p.start(dmmPath(), args);
        ASSERT_TRUE(p.waitForFinished(5000));
        EXPECT_EQ(p.exitCode(), 2) << args.join(' ').toStdString();
    }
}

TEST(DmmLogArguments, APortThatCannotBeOpenedIsReported) {
    if (!QFile::exists(dmmPath())) GTEST_SKIP() << "dmm is not built";
    QProcess p;
    p.start(dmmPath(), {"log", "--port", "/dev/does-not-exist"});
    ASSERT_TRUE(p.waitForFinished(5000));
    EXPECT_EQ(p.exitCode(), 1);
    EXPECT_TRUE(p.readAllStandardError().contains("cannot open"));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// The user's alarm command as real processes: one that hangs is killed after its time-out, only
// the latest event that came meanwhile runs next; one that does not exist is reported once.
#include "AlarmCommand.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace dmm {
namespace {

using namespace std::chrono_literals;

AlarmEvent event(bool fired, int no) {
    AlarmEvent e;
    e.alarm = QStringLiteral("above 5 V");
    e.fired = fired;
    e.no = no;
    e.time = QDateTime::currentDateTime();
    return e;
}

TEST(AlarmCommand, AHangingCommandIsKilledTheLatestWaitingEventRunsNextAMissingOneIsReportedOnce) {
    int argc = 1;
    char name[] = "test";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QStringList reports;
    const auto report = [&](const QString& r) { reports << r; };
    const auto turnUntil = [](auto done) {
        QDeadlineTimer deadline(30s);
        while (!done() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        return done();
    };
    QTemporaryDir dir;
    const QString ran = dir.filePath("ran");
    AlarmCommand command(
        QStringLiteral("sh -c \"echo $DMM_STATE $DMM_NO >> '%1'; exec sleep 60\"").arg(ran), report,
        300ms);
    command.alarmChanged(event(true, 1));
    for (int no = 2; no <= 4; ++no) command.alarmChanged(event(no % 2 == 1, no));
    ASSERT_TRUE(turnUntil([&] { return reports.size() == 2 && !command.running(); }));
    QFile f(ran);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "fired 1\ncleared 4\n");
    EXPECT_TRUE(reports.at(0).startsWith("alarm command sh still running after 0.3 s: killed"));

    AlarmCommand missing(QStringLiteral("/nonexistent/notify-me --now"), report);
    for (int no = 1; no <= 3; ++no) missing.alarmChanged(event(true, no));
    ASSERT_TRUE(turnUntil([&] { return !missing.running(); }));
    ASSERT_EQ(reports.size(), 3); // reported once
    EXPECT_TRUE(reports.back().startsWith("alarm command /nonexistent/notify-me:"));
}

} // namespace
} // namespace dmm

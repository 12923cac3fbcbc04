// "Tools" -> "Alarms..." in the window, offscreen: a condition checked as it is typed, an alarm
// that reaches a real notification service (a session bus of the test's own) and the user's
// command, debounced, its count in the menu item and the link tooltip, and the rows remembered
// for the next run.
#include "AlarmsDialog.h"
#include "FakeHidPlatform.h"
#include "NotificationService.h"
#include "QV31F.h"
#include "ScriptedDialogs.h"
#include "Simulator.h"
#include "WindowAlarms.h"

#include <QAction>
#include <QFile>
#include <QJsonObject>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace dmm;
using namespace dmm::app;
using namespace std::chrono_literals;

namespace {

TEST(AlarmWindow, AnAlarmReachesTheNotificationServiceAndTheCommandAndIsRemembered) {
    dmm::testalarm::NotificationService service;
    ASSERT_TRUE(service.start()) << service.error().toStdString();
    qputenv("DBUS_SESSION_BUS_ADDRESS", service.address().toUtf8()); // before the first notifier
    ScriptedDialogs dialogs;
    FakeHidPlatform hid;
    auto w = std::make_unique<TFCOMM>(&dialogs, &hid);
    QAction* item = w->findChild<QAction*>(QStringLiteral("Alarms1"));
    sim::Simulator sim{sim::SimOptions{}};
    const auto feed = [&](int n) {
        for (int i = 0; i < n; ++i) {
            const sim::SimFrame f = sim.next();
            w->serialReceived(f.bytes.data(), static_cast<int>(f.bytes.size()));
        }
    };
    QTemporaryDir dir;
    const QString events = dir.filePath("events");
    EXPECT_EQ(item->text(), QStringLiteral("Alarms\u2026"));
    item->trigger();
    auto* d = w->findChild<AlarmsDialog*>();
    ASSERT_TRUE(d && d->isVisible() && !d->isModal());
    d->addRow({});
    QTest::keyClicks(d->conditionEdit(0), QStringLiteral("above 5"));
    EXPECT_TRUE(d->message().contains("Alarm 1: expected a unit: V, A, ohm"))
        << d->message().toStdString();
    EXPECT_FALSE(d->applyRows().isEmpty());
    QTest::keyClicks(d->conditionEdit(0), QStringLiteral(" V for 3"));
    d->table()->item(0, AlarmsDialog::Notify)->setCheckState(Qt::Checked);
    d->table()->item(0, AlarmsDialog::Command)->setCheckState(Qt::Checked);
    d->table()
        ->item(0, AlarmsDialog::CommandLine)
        ->setText("sh -c \"echo $DMM_STATE $DMM_ALARM $DMM_UNIT >> " + events + "\"");
    ASSERT_EQ(d->applyRows(), QString());

    feed(2); // the 12.345 V supply: not yet three readings above 5 V
    EXPECT_EQ(w->alarms().active(), 0);
    feed(3);
    EXPECT_EQ(item->text(), QStringLiteral("Alarms\u2026 (1 active)"));
    EXPECT_TRUE(w->findChild<QWidget*>(QStringLiteral("CONok"))
                    ->toolTip()
                    .contains("Alarms: 1 active of 1, fired 1, cleared 0"));
    EXPECT_EQ(d->table()->item(0, AlarmsDialog::State)->text(), QStringLiteral("ACTIVE"));
    for (int i = 0; i < 400 && service.received().empty(); ++i) QTest::qWait(50);
    ASSERT_EQ(service.received().size(), 1u);
    const QJsonObject n = service.received().front();
    EXPECT_EQ(n.value("app").toString() + ": " + n.value("summary").toString(),
              "dmm-interface: Alarm fired: above 5 V for 3");
    QFile got(events);
    for (int i = 0; i < 400 && got.size() == 0; ++i) QTest::qWait(50);
    ASSERT_TRUE(got.open(QIODevice::ReadOnly));
    EXPECT_EQ(got.readAll(), "fired above 5 V for 3 V\n");

    // The next run starts with the same rows.
    const std::vector<AlarmSetting> applied = d->rows();
    ASSERT_EQ(applied.size(), 1u);
    w.reset();
    w = std::make_unique<TFCOMM>(&dialogs, &hid);
    EXPECT_TRUE(w->alarms().rows() == applied);
    ASSERT_EQ(w->alarms().apply({}), QString()); // and none for the tests after
}

} // namespace

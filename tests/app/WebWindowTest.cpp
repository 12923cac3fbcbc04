// The window with --http, as main() wires it, in headless Chromium (tests/web/web_window.py):
// while dmm simulate tours every function, the page shows what the LCD shows, the chart grows,
// the link goes dark with the window's link image, and the CSV it downloads is the window's CSV
// save of the same rows.
#include "CsvFile.h"
#include "FakeHidPlatform.h"
#include "Indicators.h"
#include "QV31F.h"
#include "ScriptedDialogs.h"
#include "TableCsvStream.h"
#include "WebPage.h"

#include <QBuffer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <csignal>

using namespace dmm;
using namespace dmm::app;

namespace {

// One line from the browser script, the event loop turning meanwhile.
QByteArray ask(QProcess& browser, const QByteArray& command) {
    browser.write(command + '\n');
    for (int waited = 0; !browser.canReadLine() && waited < 60000; waited += 10) {
        QTest::qWait(10);
        if (browser.state() == QProcess::NotRunning) break;
    }
    return browser.readLine().trimmed();
}

TEST(WebWindow, TheBrowserShowsTheLcdAndDownloadsTheWindowsCsv) {
    const QString dmm = qEnvironmentVariable("DMM_BINARY_DIR") + QStringLiteral("/tools/dmm/dmm");
    if (!QFile::exists(dmm) || !QFile::exists(QStringLiteral("/usr/bin/chromium")))
        GTEST_SKIP() << "dmm or chromium missing";
    QTemporaryDir dir;
    QProcess meter;
    meter.start(dmm, {QStringLiteral("simulate"), QStringLiteral("--pty"), QStringLiteral("--rate"),
                      QStringLiteral("20"), QStringLiteral("--script"), QStringLiteral("tour")});
    ASSERT_TRUE(meter.waitForReadyRead(5000));
    const QByteArray pty = meter.readLine().trimmed();
    ScriptedDialogs dialogs;
    FakeHidPlatform hid;
    TFCOMM w(&dialogs, &hid);
    w.show();
    web::WebPage page([&w] { return w.meter.lcd.on(Ind::CONok); }, [&w] { return w.windowTitle(); },
                      [&] {
                          return std::make_unique<web::TableCsvStream>(
                              w.cds1(), [&] { return page.feed().generation(); });
                      });
    w.pipeline().addSink(&page.feed());
    ASSERT_EQ(page.start(QHostAddress::LocalHost, 0), QString());
    qputenv("DMM_COM1", pty);
    w.findChild<QPushButton*>(QStringLiteral("COMCon"))->click();
    qunsetenv("DMM_COM1");

    QProcess browser;
    browser.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    browser.start(
        QStringLiteral("/usr/bin/python3"),
        {qEnvironmentVariable("DMM_SOURCE_DIR") + QStringLiteral("/tests/web/web_window.py"),
         page.openUrl(), dir.path()});
    int points = -1;
    QSet<QString> units;
    for (int stop = 0; stop < 6; ++stop) {
        ::kill(static_cast<pid_t>(meter.processId()), SIGCONT);
        QTest::qWait(700);
        ::kill(static_cast<pid_t>(meter.processId()), SIGSTOP);
        QTest::qWait(600); // the last frames in
        const QByteArray rows = QByteArray::number(w.cds1().size());
        const QJsonObject shown = QJsonDocument::fromJson(ask(browser, "snap " + rows)).object();
        const CurrentReading& lcd = w.meter.reading;
        QString display = QString::fromStdString(lcd.ValueText);
        display.replace(w.LocaleDecimalSeparator, QStringLiteral("."));
        EXPECT_EQ(shown.value("display").toString(), display);
        EXPECT_EQ(shown.value("unit").toString(), QString::fromStdString(lcd.measurement.unit));
        EXPECT_EQ(shown.value("title").toString(), w.windowTitle());
        EXPECT_EQ(shown.value("link").toString(), QStringLiteral("no link"));
        EXPECT_EQ(shown.value("count").toString(), QString::number(w.cds1().size()));
        EXPECT_GT(shown.value("points").toInt(), points) << "the chart did not grow";
        points = shown.value("points").toInt();
        units.insert(display + shown.value("unit").toString());
    }
    EXPECT_GE(units.size(), 4) << "the tour showed too few readings";
    QFile downloaded(QString::fromUtf8(ask(browser, "csv")));
    ASSERT_TRUE(downloaded.open(QIODevice::ReadOnly));
    QBuffer saved;
    saved.open(QIODevice::WriteOnly);
    ASSERT_EQ(CsvFile::save(w.cds1(), saved), QString());
    EXPECT_EQ(downloaded.readAll(), saved.data()) << "the download is not the CSV save";
    // "Close Data": a new generation, and the page starts afresh.
    dialogs.answers = {MsgButton::Yes};
    w.findChild<QToolButton*>(QStringLiteral("RecordNew"))->click();
    const QJsonObject cleared = QJsonDocument::fromJson(ask(browser, "snap 0")).object();
    EXPECT_EQ(cleared.value("count").toString(), QStringLiteral("0"));
    EXPECT_EQ(cleared.value("points").toInt(), 0);
    browser.closeWriteChannel();
    browser.waitForFinished(30000);
    w.pipeline().removeSink(&page.feed());
    ::kill(static_cast<pid_t>(meter.processId()), SIGCONT);
    meter.terminate();
    meter.waitForFinished(5000);
}

} // namespace

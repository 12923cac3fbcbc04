// The program: the application with an empty title, the main window, the message loop; with
// --mqtt, the rows the window records also go to an MQTT broker; with --scpi, a SCPI server
// answers from the last decoded reading; with --http, a live web page shows them.
#include "Indicators.h"
#include "MeterWatch.h"
#include "Pictures.h"
#include "QV31F.h"
#include "RowPublisher.h"
#include "ScpiServer.h"
#include "TableCsvStream.h"
#include "WebPage.h"
#include "WindowAlarms.h"
#include "WindowOptions.h"

#include <QApplication>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>

namespace {

// --mqtt: started before the window, so that a URL or CA file it refuses ends the program
// before a window shows. Null without the option.
std::unique_ptr<dmm::RowPublisher> startPublishing(const dmm::app::WindowOptions& options,
                                                   bool& refused) {
    refused = false;
    if (options.mqttUrl.isEmpty()) return nullptr;
    QString error;
    auto publisher = dmm::RowPublisher::create(options.mqttUrl, options.mqttCaFile, error);
    if (!publisher) {
        std::fprintf(stderr, "dmm-interface: %s\n", error.toLocal8Bit().constData());
        refused = true;
    }
    return publisher;
}

// --scpi: the server answers from the last decoded reading. Null without the option; a server
// that cannot listen leaves the window running and says why in `note`.
std::unique_ptr<dmm::scpi::ScpiServer> startScpi(const dmm::app::WindowOptions& options,
                                                 dmm::app::TFCOMM& window,
                                                 dmm::scpi::MeterWatch& watch, QString& note) {
    if (!options.scpi) return nullptr;
    window.pipeline().addSink(&watch);
    auto server = std::make_unique<dmm::scpi::ScpiServer>([&watch] { return watch.reading(); });
    const QString error = server->listen(*options.scpi);
    note = error.isEmpty() ? QStringLiteral("SCPI server on %1").arg(server->address().toString())
                           : error;
    std::fprintf(stderr, "dmm-interface: %s\n", note.toLocal8Bit().constData());
    return server;
}

// --http: the page follows the window's pipeline and its link image. Null without the option;
// a server that cannot listen leaves the window running and says why under the link tooltip.
std::unique_ptr<dmm::web::WebPage> startWeb(const dmm::app::WindowOptions& options,
                                            dmm::app::TFCOMM& window) {
    if (!options.http) return nullptr;
    auto page = std::make_unique<dmm::web::WebPage>(
        [&window] { return window.meter.lcd.on(dmm::Ind::CONok); },
        [&window] { return window.windowTitle(); }, nullptr);
    dmm::web::WebFeed& feed = page->feed();
    page->server().setCsvSource([&window, &feed] {
        return std::make_unique<dmm::web::TableCsvStream>(window.cds1(),
                                                          [&feed] { return feed.generation(); });
    });
    window.pipeline().addSink(&page->feed());
    const QString error = page->start(options.http->address, options.http->port);
    const QString note = error.isEmpty() ? page->note() : error;
    std::fprintf(stderr, "dmm-interface: %s\n", note.toLocal8Bit().constData());
    window.setLinkNote(QStringLiteral("http"), note);
    return page;
}

} // namespace

int main(int argc, char** argv) {
    QStringList raw;
    for (int i = 0; i < argc; ++i) raw << QString::fromLocal8Bit(argv[i]);
    if (const std::optional<int> answered = dmm::app::answerHelpOrVersion(raw)) return *answered;
    // Past a file size limit a write fails with EFBIG, like one on a full disk, which the journal
    // and the file writers report, instead of the signal ending the program mid-recording.
    ::signal(SIGXFSZ, SIG_IGN);
    QApplication app(argc, argv);
    // The task bar title is empty; the window's own title is set by its start-up.
    QApplication::setApplicationDisplayName(QString());
    QApplication::setApplicationName(QStringLiteral("dmm-interface"));
    QGuiApplication::setDesktopFileName(QStringLiteral("dmm-interface"));
    QApplication::setWindowIcon(dmm::app::programIcon());
    const dmm::app::ParsedWindowOptions parsed =
        dmm::app::parseWindowOptions(QCoreApplication::arguments());
    if (parsed.exitCode) return *parsed.exitCode;
    bool refused = false;
    const std::unique_ptr<dmm::RowPublisher> mqtt = startPublishing(parsed.options, refused);
    if (refused) return 2;
    dmm::scpi::MeterWatch scpiWatch; // before the window: it outlives the window's pipeline
    dmm::app::TFCOMM window;
    // Before anything else: a recording an earlier run left unsaved is offered back.
    window.startJournal();
    // Each output's line under the link tooltip: the MQTT publisher's state, the SCPI server's.
    if (mqtt) {
        window.pipeline().addSink(mqtt.get());
        window.alarms().addSharedAction(mqtt.get()); // PREFIX/alarm
        QObject::connect(
            mqtt.get(), &dmm::RowPublisher::noteChanged, &window,
            [&](const QString& note) { window.setLinkNote(QStringLiteral("mqtt"), note); });
    }

    QString scpiNote;
    const std::unique_ptr<dmm::scpi::ScpiServer> scpiServer =
        startScpi(parsed.options, window, scpiWatch, scpiNote);
    if (scpiServer) window.setLinkNote(QStringLiteral("scpi"), scpiNote);
    const std::unique_ptr<dmm::web::WebPage> web = startWeb(parsed.options, window);

    window.show();
    const int rc = QApplication::exec();
    if (web) window.pipeline().removeSink(&web->feed()); // the page goes before the window
    // At the end the broker gets 2 s after its last acknowledgement for the rows still queued,
    // then "offline".
    if (mqtt) mqtt->close(std::chrono::seconds(2));
    return rc;
}

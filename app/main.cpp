// The program: the application with an empty title, the main window, the message loop; with
// --mqtt, the rows the window records also go to an MQTT broker.
#include "Pictures.h"
#include "QV31F.h"
#include "RowPublisher.h"
#include "WindowOptions.h"

#include <QApplication>

#include <chrono>
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

} // namespace

int main(int argc, char** argv) {
    QStringList raw;
    for (int i = 0; i < argc; ++i) raw << QString::fromLocal8Bit(argv[i]);
    if (const std::optional<int> answered = dmm::app::answerHelpOrVersion(raw)) return *answered;
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
    dmm::app::TFCOMM window;
    if (mqtt) {
        QObject::connect(&window, &dmm::app::TFCOMM::rowRecorded, mqtt.get(),
                         [&window, &mqtt](int row) { mqtt->publishRow(window.cds1(), row); });
        QObject::connect(mqtt.get(), &dmm::RowPublisher::noteChanged, &window,
                         &dmm::app::TFCOMM::setLinkNote);
    }
    window.show();
    const int rc = QApplication::exec();
    // At the end the broker gets 2 s after its last acknowledgement for the rows still queued,
    // then "offline".
    if (mqtt) mqtt->close(std::chrono::seconds(2));
    return rc;
}

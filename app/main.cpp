// The program: the application with an empty title, the main window, the message loop.
#include "Pictures.h"
#include "QV31F.h"
#include "WindowOptions.h"

#include <QApplication>

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
    dmm::app::TFCOMM window;
    window.show();
    return QApplication::exec();
}

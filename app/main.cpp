// The program: the application with an empty title, the main window, the message loop.
#include "Pictures.h"
#include "QV31F.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The task bar title is empty; the window's own title is set by its start-up.
    QApplication::setApplicationDisplayName(QString());
    QApplication::setApplicationName(QStringLiteral("dmm-interface"));
    QGuiApplication::setDesktopFileName(QStringLiteral("dmm-interface"));
    QApplication::setWindowIcon(dmm::app::programIcon());
    dmm::app::TFCOMM window;
    window.show();
    return QApplication::exec();
}

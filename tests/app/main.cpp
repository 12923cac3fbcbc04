// The window tests need a QApplication; they run on the offscreen platform, so nothing shows.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // A state folder of this run's own: no test meets a journal another run left.
    QTemporaryDir stateHome;
    qputenv("XDG_STATE_HOME", stateHome.path().toLocal8Bit());
    QApplication app(argc, argv);
    // What the window remembers (its alarms) goes to a folder of the run's own.
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

// What the recording tests share: a Qt application for the classes that want one, and files.
#pragma once

#include "ReadingsTable.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QString>
#include <QTemporaryDir>

#include <initializer_list>

namespace dmm::test {

// The report's fonts need a GUI application; the offscreen platform needs no display.
inline void ensureApp() {
    if (QCoreApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "recording_tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& bytes);
QString goldenPath(const char* name);

inline RowData makeRow(std::optional<int> no, const char* time, const char* dcAc, const char* value,
                       const char* unit, const char* judge, std::optional<int> nval) {
    RowData r;
    r.no = no;
    r.time = QString::fromUtf8(time);
    r.dcAc = QString::fromUtf8(dcAc);
    r.value = QString::fromUtf8(value);
    r.unit = QString::fromUtf8(unit);
    r.judge = QString::fromUtf8(judge);
    r.nval = nval;
    return r;
}

} // namespace dmm::test

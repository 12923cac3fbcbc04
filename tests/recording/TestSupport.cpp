#include "TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

namespace dmm::test {

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << path.toStdString();
        return {};
    }
    return f.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QString goldenPath(const char* name) {
    return QStringLiteral(DMM_RECORDING_GOLDEN "/") + QLatin1String(name);
}

} // namespace dmm::test

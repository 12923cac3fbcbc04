#include "ComPortMap.h"

#include <QDir>
#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>
#include <cstdlib>

namespace dmm::link {

namespace {

// "ttyUSB10" -> ("ttyUSB", 10); -1 when the name ends in no number.
std::pair<QString, long> splitNumber(const QString& name) {
    qsizetype i = name.size();
    while (i > 0 && name.at(i - 1).isDigit()) --i;
    if (i == name.size()) return {name, -1};
    return {name.left(i), name.mid(i).toLong()};
}

bool numericLess(const QString& a, const QString& b) {
    const auto [pa, na] = splitNumber(a);
    const auto [pb, nb] = splitNumber(b);
    if (pa != pb) return pa < pb;
    if (na != nb) return na < nb;
    return a < b;
}

QStringList devicesOf(const QStringList& entries, const QString& prefix) {
    static const QRegularExpression digits(QStringLiteral("^\\d+$"));
    QStringList out;
    for (const QString& e : entries) {
        if (e.startsWith(prefix) && digits.match(e.mid(prefix.size())).hasMatch()) out << e;
    }
    std::sort(out.begin(), out.end(), numericLess);
    for (QString& e : out) e.prepend(QStringLiteral("/dev/"));
    return out;
}

} // namespace

QStringList orderedSerialDevices(const QStringList& devEntries, const QStringList& builtInPorts) {
    QStringList out = devicesOf(devEntries, QStringLiteral("ttyUSB"));
    out += devicesOf(devEntries, QStringLiteral("ttyACM"));
    QStringList builtIn;
    for (const QString& p : builtInPorts) {
        const QString name = p.section(QLatin1Char('/'), -1);
        if (name.startsWith(QStringLiteral("ttyUSB")) || name.startsWith(QStringLiteral("ttyACM")))
            continue;
        if (!builtIn.contains(p) && !out.contains(p)) builtIn << p;
    }
    std::sort(builtIn.begin(), builtIn.end(), numericLess);
    return out + builtIn;
}

QString comDeviceFor(int n, const QStringList& ordered, const QString& override) {
    if (n < 1 || n > 4) return {};
    if (!override.isEmpty()) return override;
    return n <= ordered.size() ? ordered.at(n - 1) : QString();
}

QString comPortDevice(int n) {
    if (n < 1 || n > 4) return {};
    const QByteArray var = "DMM_COM" + QByteArray::number(n);
    const char* env = std::getenv(var.constData());
    if (env && *env) return QString::fromLocal8Bit(env);
    const QStringList entries =
        QDir(QStringLiteral("/dev"))
            .entryList({QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")},
                       QDir::System | QDir::Files);
    QStringList builtIn;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        builtIn << info.systemLocation();
    return comDeviceFor(n, orderedSerialDevices(entries, builtIn), QString());
}

QString comPortDescription(int n) {
    const QString device = comPortDevice(n);
    return QStringLiteral("COM%1: %2")
        .arg(n)
        .arg(device.isEmpty() ? QStringLiteral("no device") : device);
}

} // namespace dmm::link

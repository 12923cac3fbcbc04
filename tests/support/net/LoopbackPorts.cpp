#include "LoopbackPorts.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QStandardPaths>
#include <QTcpServer>
#include <QThread>

namespace dmm::testnet {

quint16 freeLoopbackPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0)) return 0;
    return probe.serverPort();
}

bool isListening(quint16 port) {
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly)) return false;
    // "  0: 0100007F:1F90 00000000:0000 0A ...": local address:port in hex, state 0A = LISTEN.
    const QByteArray local = QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (QByteArray line = table.readLine(); !line.isEmpty(); line = table.readLine()) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() > 3 && f[3] == "0A" && f[1].endsWith(':' + local)) return true;
    }
    return false;
}

bool waitForListener(quint16 port, int ms) {
    QElapsedTimer t;
    t.start();
    while (!isListening(port)) {
        if (t.elapsed() > ms) return false;
        QThread::msleep(20);
    }
    return true;
}

quint16 startPythonServer(QProcess& process, const QString& script, const QStringList& args,
                          QString* said) {
    // Debian's interpreter, which python3-serial installs into (not one a virtual environment
    // puts first on the PATH).
    QString python =
        QStandardPaths::findExecutable(QStringLiteral("python3"), {QStringLiteral("/usr/bin")});
    if (python.isEmpty()) python = QStringLiteral("python3");
    process.start(python, QStringList{script} + args);
    if (!process.waitForStarted(5000)) return 0;
    while (!process.canReadLine() && process.waitForReadyRead(10000)) {
    }
    const QByteArray line = process.readLine().trimmed();
    const auto port =
        static_cast<quint16>(line.startsWith("listening ") ? line.mid(10).toUInt() : 0);
    if (port == 0 && said) *said += QString::fromLocal8Bit(line);
    return port != 0 && waitForListener(port) ? port : 0;
}

} // namespace dmm::testnet

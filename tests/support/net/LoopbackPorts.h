// Free TCP ports on 127.0.0.1 for the servers a test starts, and waiting until one listens.
#pragma once

#include <QProcess>
#include <QStringList>
#include <QtGlobal>

namespace dmm::testnet {

// A port nothing listens on now (the kernel's pick, released again).
quint16 freeLoopbackPort();
// Whether something listens on 127.0.0.1:port, from the kernel's socket table (a probing
// connection would start a session on the server).
bool isListening(quint16 port);
// Waits, serving the event loop, until something listens on the port; false after `ms`.
bool waitForListener(quint16 port, int ms = 10000);
// Starts a test server script in Debian's Python (`script` and `args`), which prints "listening
// PORT" once it listens; the port, or 0 (with the line it printed instead appended to `said`).
quint16 startPythonServer(QProcess& process, const QString& script, const QStringList& args,
                          QString* said = nullptr);
// The server that agrees to the COM port option, then floods negotiations and never reads.
inline const char* hostileRfc2217Script() {
    return DMM_HOSTILE_RFC2217_SERVER_SCRIPT;
}

} // namespace dmm::testnet

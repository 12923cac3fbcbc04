// Free TCP ports on 127.0.0.1 for the servers a test starts, and waiting until one listens.
#pragma once

#include <QtGlobal>

namespace dmm::testnet {

// A port nothing listens on now (the kernel's pick, released again).
quint16 freeLoopbackPort();
// Whether something listens on 127.0.0.1:port, from the kernel's socket table (a probing
// connection would start a session on the server).
bool isListening(quint16 port);
// Waits, serving the event loop, until something listens on the port; false after `ms`.
bool waitForListener(quint16 port, int ms = 10000);

} // namespace dmm::testnet

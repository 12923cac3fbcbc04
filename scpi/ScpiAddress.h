// Where the server listens, as the command line gives it: [ADDR:]PORT. ADDR defaults to the
// loopback address 127.0.0.1, so that only programs on this machine reach the meter unless an
// address (or 0.0.0.0) is named; an IPv6 address goes in brackets, [::1]:5025. Port 0 takes a
// free port, which the server then tells.
#pragma once

#include <QHostAddress>
#include <QString>

namespace dmm::scpi {

struct ScpiAddress {
    QHostAddress address{QHostAddress::LocalHost};
    quint16 port = 5025;

    // An error text, empty when `text` is sound.
    static QString parse(const QString& text, ScpiAddress& out);
    QString toString() const; // 127.0.0.1:5025, [::1]:5025
};

} // namespace dmm::scpi

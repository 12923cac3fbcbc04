// pyserial's RFC 2217 port manager in front of a serial device (rfc2217_server.py beside this
// file), on a free loopback port. It logs the negotiation: the settings the client asked for.
#pragma once

#include <QProcess>
#include <QString>

namespace dmm::testnet {

class PyRfc2217Server {
public:
    explicit PyRfc2217Server(QString device);
    ~PyRfc2217Server();
    PyRfc2217Server(const PyRfc2217Server&) = delete;
    PyRfc2217Server& operator=(const PyRfc2217Server&) = delete;

    // Starts it and waits until it listens.
    bool start();
    void stop();
    quint16 port() const { return port_; }
    QString url() const;
    // Its log so far ("set baud rate: 2400", "changed DTR to active", ...).
    QString log();

private:
    QString device_;
    quint16 port_ = 0;
    QProcess process_;
    QString log_;
};

} // namespace dmm::testnet

// Debian's ser2net in the foreground with a configuration of its own (no system files), serving
// one serial device over the Telnet COM port option on a loopback port.
#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace dmm::testnet {

class Ser2netServer {
public:
    // `port` 0: a free port, picked at the first start and kept for restarts.
    explicit Ser2netServer(QString device, quint16 port = 0);
    ~Ser2netServer();
    Ser2netServer(const Ser2netServer&) = delete;
    Ser2netServer& operator=(const Ser2netServer&) = delete;

    // Starts it and waits until it listens; false, with output() saying why, when it does not.
    bool start();
    // Ends it (SIGTERM) and waits for its end; its connection drops.
    void stop();
    quint16 port() const { return port_; }
    // rfc2217://127.0.0.1:PORT
    QString url() const;
    // What it printed (its debug output included), for failure messages.
    QString output();
    static QString program();

private:
    QString device_;
    quint16 port_;
    QTemporaryDir dir_;
    QProcess process_;
    QString output_;
};

} // namespace dmm::testnet

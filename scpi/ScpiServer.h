// The SCPI server: raw-socket SCPI over TCP on the caller's event loop, without threads. It only
// reports: nothing a client sends reaches the meter or the recording.
//
// Bounds: at most kMaxClients clients; per client a read buffer of kReadBuffer bytes, a line of
// at most 4 KiB (ScpiLineBuffer) and kMaxOutput bytes of answers waiting to be sent, past which
// its input waits until the client reads. One turn of the event loop handles at most kReadBuffer
// bytes per client, so a client sending without end cannot hold the loop. A client that says
// nothing costs its socket and nothing else: no timer, no buffer beyond Qt's.
//
// Silent clients must not hold every place for ever (a script that connected and hung, a test PC
// that crashed, a cable pulled: no FIN ever comes). A client is idle when it has sent no byte for
// kIdleMs and nothing waits on its socket either way (no input unread, no answer unsent). When
// all places are taken, a new client takes the place of the client idle the longest; when none
// is idle, the new client is accepted and closed at once. A client that is talking is never
// evicted. Every client socket has TCP keep-alive, so that a peer that vanished is dropped after
// about a minute (kKeepAliveIdleS, then kKeepAliveCount probes kKeepAliveIntervalS apart) even
// when nobody needs its place.
#pragma once

#include "ScpiAddress.h"
#include "ScpiSession.h"

#include <QObject>
#include <QTcpServer>

#include <map>
#include <memory>

class QTcpSocket;

namespace dmm::scpi {

class ScpiServer : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxClients = 16;
    static constexpr qint64 kReadBuffer = 64 * 1024;
    static constexpr qint64 kMaxOutput = 1024 * 1024;
    static constexpr int kIdleMs = 5000;
    static constexpr int kKeepAliveIdleS = 30, kKeepAliveIntervalS = 10, kKeepAliveCount = 3;

    explicit ScpiServer(ReadingSource source, QObject* parent = nullptr);
    ~ScpiServer() override;

    // Starts listening; an error text, empty on success.
    QString listen(const ScpiAddress& where);
    // Where it listens, with the port it got for port 0.
    ScpiAddress address() const;
    int clientCount() const { return static_cast<int>(sessions_.size()); }
    // Answers written but not yet taken by the clients, all clients together.
    qint64 pendingOutput() const;

private:
    void acceptPending();
    bool evictIdlest();
    void serve(QTcpSocket* socket);
    void drop(QTcpSocket* socket);

    ReadingSource source_;
    QTcpServer server_;
    std::map<QTcpSocket*, std::unique_ptr<ScpiSession>> sessions_;
};

} // namespace dmm::scpi

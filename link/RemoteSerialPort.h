// A serial port on another machine, reached over TCP with the Telnet COM port option
// (rfc2217://HOST:PORT, as ser2net serves it). The serial driver uses it in place of a local
// device: open() only starts the connection and returns at once; connecting and negotiating run
// on the event loop of the thread that owns it (the GUI thread). The received serial data waits
// in a queue of at most the driver's buffer size for the driver's polling tick; beyond that it
// stays in the socket, and TCP holds the server back, as a full input queue holds a local port.
// What waits to be sent is bounded too (kMaxUnsent): past it the server is one that does not
// read, and the connection is dropped as a vanished port.
//
// Written on QTcpSocket rather than on gensio: gensio runs its own event loop (its selector, a
// wake-up signal, process-wide signal set-up) and Debian's build has no binding to Qt's loop, so
// it would need a thread of its own or be serviced from the polling tick.
#pragma once

#include "Rfc2217Codec.h"

#include <QObject>
#include <QString>

#include <optional>

class QTcpSocket;
class QTimer;

namespace dmm::link {

class RemoteSerialPort : public QObject {
    Q_OBJECT

public:
    struct Address {
        QString host;
        quint16 port = 0;
    };
    // "rfc2217://HOST:PORT" (HOST a name, an IPv4 address or an IPv6 address in brackets).
    static bool isRemoteAddress(const QString& device);
    static std::optional<Address> parseAddress(const QString& device);

    // A connection that has not agreed on the COM port option by then is given up.
    static constexpr int kNegotiationTimeoutMs = 5000;
    // This client sends only the negotiation and the line settings, a few hundred bytes, which
    // the kernel's send buffer takes at once; this much waiting in the socket besides means the
    // server does not read (a hostile one, flooding negotiations to grow the answers).
    static constexpr qint64 kMaxUnsent = 16 * 1024;

    explicit RemoteSerialPort(QObject* parent = nullptr);
    ~RemoteSerialPort() override;

    // Starts connecting. False, with `error` set, when the address is unusable; else the
    // connection goes on in the event loop, and a refusal (even on this machine, a moment later)
    // or the time-out ends it as a dropped connection does.
    bool open(const QString& device, const Rfc2217Codec::LineSettings& settings,
              qsizetype bufferSize, QString& error);
    void close();
    // New settings go to the server (now, or once it agreed); received data not yet read is
    // dropped, as a local port empties its queues.
    void setLineSettings(const Rfc2217Codec::LineSettings& settings);
    void purge();
    // Takes up to `max` bytes of received serial data; 0 when none waits.
    qint64 read(std::uint8_t* into, qint64 max);

    // Connecting, negotiating or connected: not given up, not dropped, not closed.
    bool isPresent() const { return present_; }
    // Still connecting or negotiating.
    bool isNegotiating() const { return present_ && !negotiated_; }
    // Why the connection went away, or what the server refused; empty when all is well.
    const QString& lastError() const { return lastError_; }
    const Rfc2217Codec& codec() const { return codec_; }

signals:
    // The negotiation finished, or the connection went away.
    void stateChanged();

private:
    void onConnected();
    void pump();
    void send(const Rfc2217Codec::Bytes& bytes);
    void lost(const QString& why);
    void lostLater(const QString& why);

    QTcpSocket* socket_;
    QTimer* timeout_;
    Rfc2217Codec codec_;
    Rfc2217Codec::Bytes queue_; // received serial data, at most bufferSize_ bytes
    Rfc2217Codec::Bytes raw_;   // one read from the socket
    Rfc2217Codec::Bytes send_;  // the codec's answers
    Rfc2217Codec::LineSettings settings_;
    qsizetype bufferSize_ = 2048;
    QString name_;
    QString lastError_;
    bool present_ = false;
    bool negotiated_ = false;
    bool choked_ = false;    // the server stopped reading: nothing more is read or sent
    quint64 generation_ = 0; // tells a queued notice of an earlier connection from the current
};

} // namespace dmm::link

#include "ScpiServer.h"

#include <QTcpSocket>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace dmm::scpi {

namespace {

// Keep-alive with probes after seconds rather than the system's two hours: a peer that vanished
// without a FIN is noticed, and its socket closed by the kernel, within about a minute.
void keepAlive(QTcpSocket* socket) {
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    const int fd = static_cast<int>(socket->socketDescriptor());
    const int idle = ScpiServer::kKeepAliveIdleS, interval = ScpiServer::kKeepAliveIntervalS,
              count = ScpiServer::kKeepAliveCount;
    if (::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle) != 0 ||
        ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval) != 0 ||
        ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count) != 0)
        qWarning("SCPI server: cannot set the keep-alive times of a client: %s", strerror(errno));
}

} // namespace

ScpiServer::ScpiServer(ReadingSource source, QObject* parent)
    : QObject(parent), source_(std::move(source)) {
    connect(&server_, &QTcpServer::newConnection, this, &ScpiServer::acceptPending);
}

ScpiServer::~ScpiServer() {
    for (auto& [socket, session] : sessions_) {
        socket->disconnect(this);
        socket->abort();
        delete socket;
    }
}

QString ScpiServer::listen(const ScpiAddress& where) {
    if (server_.listen(where.address, where.port)) return {};
    return QStringLiteral("cannot listen on %1: %2").arg(where.toString(), server_.errorString());
}

ScpiAddress ScpiServer::address() const {
    ScpiAddress a;
    a.address = server_.serverAddress();
    a.port = server_.serverPort();
    return a;
}

qint64 ScpiServer::pendingOutput() const {
    qint64 bytes = 0;
    for (const auto& [socket, session] : sessions_) bytes += socket->bytesToWrite();
    return bytes;
}

void ScpiServer::acceptPending() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        if (clientCount() >= kMaxClients && !evictIdlest()) {
            socket->close();
            socket->deleteLater();
            continue;
        }
        socket->setParent(nullptr);
        socket->setReadBufferSize(kReadBuffer);
        keepAlive(socket);
        sessions_.emplace(socket, std::make_unique<ScpiSession>());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { serve(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] { drop(socket); });
        // Bytes that came with the connection.
        serve(socket);
    }
}

// Closes the client idle the longest (see the class comment); false when none is idle.
bool ScpiServer::evictIdlest() {
    const auto now = std::chrono::steady_clock::now();
    QTcpSocket* idlest = nullptr;
    auto heard = now - std::chrono::milliseconds(kIdleMs);
    for (const auto& [socket, session] : sessions_) {
        if (socket->bytesAvailable() > 0 || socket->bytesToWrite() > 0) continue;
        if (session->lastHeard() <= heard) {
            heard = session->lastHeard();
            idlest = socket;
        }
    }
    if (!idlest) return false;
    idlest->abort();
    drop(idlest);
    return true;
}

void ScpiServer::serve(QTcpSocket* socket) {
    const auto it = sessions_.find(socket);
    if (it == sessions_.end()) return;
    // One buffer's worth per turn of the loop; the rest waits for the next turn, or for the
    // client to read its answers.
    if (socket->bytesToWrite() >= kMaxOutput) return;
    const QByteArray bytes = socket->read(kReadBuffer);
    if (bytes.isEmpty()) return;
    const QByteArray answers = it->second->receive(bytes, source_);
    if (!answers.isEmpty()) socket->write(answers);
    if (socket->bytesAvailable() > 0)
        QTimer::singleShot(0, socket, [this, socket] { serve(socket); });
}

void ScpiServer::drop(QTcpSocket* socket) {
    if (sessions_.erase(socket) == 0) return;
    socket->disconnect(this);
    socket->deleteLater();
}

} // namespace dmm::scpi

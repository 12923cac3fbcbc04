#include "ScpiServer.h"

#include <QTcpSocket>
#include <QTimer>

namespace dmm::scpi {

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
        if (clientCount() >= kMaxClients) {
            socket->close();
            socket->deleteLater();
            continue;
        }
        socket->setParent(nullptr);
        socket->setReadBufferSize(kReadBuffer);
        sessions_.emplace(socket, std::make_unique<ScpiSession>());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { serve(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] { drop(socket); });
        // Bytes that came with the connection.
        serve(socket);
    }
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

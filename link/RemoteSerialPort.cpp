#include "RemoteSerialPort.h"

#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstring>

namespace dmm::link {

namespace {

const QLatin1String kScheme("rfc2217://");

} // namespace

bool RemoteSerialPort::isRemoteAddress(const QString& device) {
    return device.startsWith(kScheme, Qt::CaseInsensitive);
}

std::optional<RemoteSerialPort::Address> RemoteSerialPort::parseAddress(const QString& device) {
    if (!isRemoteAddress(device)) return std::nullopt;
    const QUrl url(device, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || url.port() < 1 || url.port() > 65535 ||
        !url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment() ||
        !(url.path().isEmpty() || url.path() == QLatin1String("/")))
        return std::nullopt;
    return Address{url.host(), static_cast<quint16>(url.port())};
}

RemoteSerialPort::RemoteSerialPort(QObject* parent)
    : QObject(parent), socket_(new QTcpSocket(this)), timeout_(new QTimer(this)) {
    timeout_->setSingleShot(true);
    timeout_->setTimerType(Qt::PreciseTimer); // a coarse timer may end up to 5 % early
    connect(timeout_, &QTimer::timeout, this, [this] {
        if (present_ && !negotiated_)
            lost(name_ + QStringLiteral(": no answer to the COM port option within 5 s"));
    });
    connect(socket_, &QTcpSocket::connected, this, &RemoteSerialPort::onConnected);
    connect(socket_, &QTcpSocket::readyRead, this, &RemoteSerialPort::pump);
    connect(socket_, &QTcpSocket::errorOccurred, this,
            [this] { lostLater(name_ + QStringLiteral(": ") + socket_->errorString()); });
    connect(socket_, &QTcpSocket::disconnected, this,
            [this] { lostLater(name_ + QStringLiteral(": the server closed the connection")); });
}

// Noticed after the socket's signal has returned: the socket must not be aborted from inside its
// own notification. A notice of an earlier connection is dropped.
void RemoteSerialPort::lostLater(const QString& why) {
    QMetaObject::invokeMethod(
        this,
        [this, why, g = generation_] {
            if (g == generation_) lost(why);
        },
        Qt::QueuedConnection);
}

RemoteSerialPort::~RemoteSerialPort() {
    close();
}

bool RemoteSerialPort::open(const QString& device, const Rfc2217Codec::LineSettings& settings,
                            qsizetype bufferSize, QString& error) {
    close();
    const auto address = parseAddress(device);
    if (!address) {
        error = device + QStringLiteral(": not an address of the form rfc2217://HOST:PORT");
        return false;
    }
    name_ = device;
    settings_ = settings;
    bufferSize_ = std::max<qsizetype>(bufferSize, 1);
    queue_.clear();
    queue_.reserve(static_cast<std::size_t>(bufferSize_));
    raw_.resize(static_cast<std::size_t>(bufferSize_));
    lastError_.clear();
    negotiated_ = false;
    choked_ = false;
    present_ = true;
    ++generation_;
    // What Qt takes from the kernel is bounded too; beyond it TCP holds the server back.
    socket_->setReadBufferSize(bufferSize_);
    socket_->connectToHost(address->host, address->port);
    // Even a refusal on this machine arrives through the event loop: Qt makes the socket there.
    if (socket_->state() == QAbstractSocket::UnconnectedState) {
        error = device + QStringLiteral(": ") + socket_->errorString();
        close();
        return false;
    }
    timeout_->start(kNegotiationTimeoutMs);
    return true;
}

void RemoteSerialPort::close() {
    ++generation_;
    timeout_->stop();
    present_ = false;
    negotiated_ = false;
    queue_.clear();
    socket_->abort();
}

void RemoteSerialPort::onConnected() {
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    send(codec_.start(settings_));
    pump(); // the server may have spoken first
}

void RemoteSerialPort::send(const Rfc2217Codec::Bytes& bytes) {
    // After the end of a connection its last data is still read, but nothing more is said.
    if (bytes.empty() || choked_ || socket_->state() != QAbstractSocket::ConnectedState) return;
    if (socket_->bytesToWrite() + static_cast<qint64>(bytes.size()) > kMaxUnsent) {
        choked_ = true;
        lostLater(name_ + QStringLiteral(": the server does not read what is sent to it"));
        return;
    }
    socket_->write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
}

void RemoteSerialPort::setLineSettings(const Rfc2217Codec::LineSettings& settings) {
    settings_ = settings;
    if (!present_) return;
    send_.clear();
    codec_.setLineSettings(settings, send_);
    send(send_);
    purge();
}

void RemoteSerialPort::purge() {
    queue_.clear();
}

// Reads from the socket as much as the queue has room for (the decoded data is never longer
// than the bytes it came in), answers the server, and notices the end of the negotiation.
void RemoteSerialPort::pump() {
    if (!present_) return;
    while (!choked_) {
        const auto room = static_cast<qint64>(bufferSize_) - static_cast<qint64>(queue_.size());
        if (room <= 0) break;
        const qint64 n = socket_->read(reinterpret_cast<char*>(raw_.data()), room);
        if (n <= 0) break;
        send_.clear();
        codec_.receive(raw_.data(), static_cast<std::size_t>(n), queue_, send_);
        send(send_);
    }
    if (!negotiated_ && codec_.state() != Rfc2217Codec::State::Offering) {
        negotiated_ = true;
        timeout_->stop();
        if (codec_.state() == Rfc2217Codec::State::Refused)
            lastError_ = name_ + QStringLiteral(": the server refused the COM port option; the "
                                                "line keeps the server's settings");
        emit stateChanged();
    }
}

qint64 RemoteSerialPort::read(std::uint8_t* into, qint64 max) {
    const auto n = std::min<qint64>(max, static_cast<qint64>(queue_.size()));
    if (n <= 0) return 0;
    std::memcpy(into, queue_.data(), static_cast<std::size_t>(n));
    queue_.erase(queue_.begin(), queue_.begin() + n);
    pump(); // room again for what waits in the socket
    return n;
}

void RemoteSerialPort::lost(const QString& why) {
    if (!present_) return;
    pump(); // what arrived before the end is still the meter's
    ++generation_;
    timeout_->stop();
    present_ = false;
    lastError_ = why;
    socket_->abort();
    emit stateChanged();
}

} // namespace dmm::link

#include "ComDrv32.h"

#include "ComPortMap.h"
#include "RemoteSerialPort.h"

#include <QSerialPort>
#include <QStringList>
#include <QTimer>

#include <poll.h>
#include <termios.h>

namespace {

constexpr qint32 kBaudRates[] = {110,   300,   600,   1200,  2400,  4800,  9600,
                                 14400, 19200, 38400, 56000, 57600, 115200};

} // namespace

TCommPortDriver::TCommPortDriver(QObject* owner)
    : QObject(owner), receiveBuffer_(new std::uint8_t[inBufSize_]), port_(new QSerialPort(this)),
      timer_(new QTimer(this)) {
    timer_->setObjectName(QStringLiteral("PollTimer"));
    connect(timer_, &QTimer::timeout, this, &TCommPortDriver::pollTick);
    // A vanished device makes the port report its error on every turn of the event loop while
    // the handle stays open; deviceLost closes the handle. Queued, because the port must not be
    // closed from inside its own read notification.
    connect(port_, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError)
            QMetaObject::invokeMethod(this, &TCommPortDriver::deviceLost, Qt::QueuedConnection);
    });
}

TCommPortDriver::~TCommPortDriver() {
    ClosePort();
}

qint32 TCommPortDriver::baudRateValue(TComPortBaudRate rate) {
    const int i = static_cast<int>(rate);
    return i >= 0 && i < static_cast<int>(std::size(kBaudRates)) ? kBaudRates[i] : 9600;
}

void TCommPortDriver::SetLine(const dmm::SerialLine& line) {
    for (std::size_t i = 0; i < std::size(kBaudRates); ++i)
        if (kBaudRates[i] == line.baud) SetComPortSpeed(static_cast<TComPortBaudRate>(i));
    if (line.dataBits >= 5 && line.dataBits <= 8)
        SetComPortDataBits(static_cast<TComPortDataBits>(line.dataBits - 5));
    SetComPortParity(line.parity == 'O' ? ptODD : line.parity == 'E' ? ptEVEN : ptNONE);
    SetComPortStopBits(line.stopBits == 2 ? sb2BITS : sb1BITS);
}

QString TCommPortDriver::deviceName() const {
    return dmm::link::comPortDevice(static_cast<int>(comPort_) + 1);
}

bool TCommPortDriver::OpenPort() {
    if (open_) return true;
    const QString device = deviceName();
    if (device.isEmpty()) {
        lastError_ = QStringLiteral("COM%1 has no device").arg(static_cast<int>(comPort_) + 1);
        return false;
    }
    if (dmm::link::RemoteSerialPort::isRemoteAddress(device)) return openRemote(device);
    port_->setPortName(device);
    // Exclusive: QSerialPort takes the device's lock file and TIOCEXCL.
    if (!port_->open(QIODevice::ReadWrite)) {
        lastError_ = device + QStringLiteral(": ") + port_->errorString();
        return false;
    }
    lastError_.clear();
    open_ = true;
    ApplyLineSettings();
    // Reads never wait here: a tick takes what the port has collected (the read time-outs of 1 ms
    // come to the same), and the port's buffer holds at most one chunk.
    timer_->start(qMax<int>(pollingDelay_, 1));
    return true;
}

// Returns at once: connecting and negotiating go on in the event loop, and the polling tick
// runs meanwhile, as for a local port. A refused connection, or one that does not negotiate in
// time, then goes away as a vanished device does.
bool TCommPortDriver::openRemote(const QString& device) {
    if (!remote_) {
        remote_ = new dmm::link::RemoteSerialPort(this);
        connect(remote_, &dmm::link::RemoteSerialPort::stateChanged, this,
                [this] { lastError_ = remote_->lastError(); });
    }
    if (!remote_->open(device, remoteSettings(), inBufSize_, lastError_)) return false;
    lastError_.clear();
    open_ = true;
    remoteOpen_ = true;
    timer_->start(qMax<int>(pollingDelay_, 1));
    return true;
}

dmm::link::Rfc2217Codec::LineSettings TCommPortDriver::remoteSettings() const {
    dmm::link::Rfc2217Codec::LineSettings s;
    s.baud = static_cast<std::uint32_t>(baudRateValue(speed_));
    s.dataBits = static_cast<std::uint8_t>(5 + static_cast<int>(dataBits_));
    s.parity = static_cast<std::uint8_t>(parity_);
    s.stopBits = static_cast<std::uint8_t>(stopBits_);
    using Flow = dmm::link::Rfc2217Codec::Flow;
    s.flow = hw_ == hhRTSCTS ? Flow::RtsCts : sw_ == shXONXOFF ? Flow::XonXoff : Flow::None;
    s.dtr = enableDtr_;
    return s;
}

void TCommPortDriver::ClosePort() {
    if (!open_) return;
    timer_->stop();
    if (remoteOpen_)
        remote_->close();
    else if (port_->isOpen())
        port_->close();
    remoteOpen_ = false;
    open_ = false;
}

bool TCommPortDriver::IsDevicePresent() const {
    if (remoteOpen_) return open_ && remote_->isPresent();
    return open_ && port_->isOpen();
}

bool TCommPortDriver::IsOpening() const {
    return open_ && remoteOpen_ && remote_->isNegotiating();
}

const dmm::link::RemoteSerialPort* TCommPortDriver::RemotePort() const {
    return remoteOpen_ ? remote_ : nullptr;
}

void TCommPortDriver::deviceLost() {
    if (!open_ || !port_->isOpen()) return;
    if (port_->error() == QSerialPort::ReadError) {
        // A read error with the device still there is passing: the next tick reads again.
        pollfd p{static_cast<int>(port_->handle()), POLLIN, 0};
        if (::poll(&p, 1, 0) >= 0 && !(p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            port_->clearError();
            return;
        }
    }
    // The device is gone. The driver stays open, as the window still shows the link, and
    // delivers nothing until ClosePort; OpenPort then opens the device again once it is back.
    port_->close();
}

void TCommPortDriver::ApplyLineSettings() {
    if (open_ && remoteOpen_) {
        // Sent to the server now, or once it has agreed to the COM port option; what it refuses
        // it answers with the setting it kept.
        remote_->setLineSettings(remoteSettings());
        return;
    }
    if (!open_ || !port_->isOpen()) return;
    // Every setting is tried; one the device refuses (a pseudo-terminal has no modem lines) is
    // left as the device has it, and named in LastError.
    QStringList refused;
    const auto check = [&refused](bool ok, const char* what) {
        if (!ok) refused << QLatin1String(what);
    };
    check(port_->setBaudRate(baudRateValue(speed_)), "the speed");
    check(port_->setDataBits(static_cast<QSerialPort::DataBits>(5 + static_cast<int>(dataBits_))),
          "the data bits");
    static constexpr QSerialPort::Parity parities[] = {
        QSerialPort::NoParity, QSerialPort::OddParity, QSerialPort::EvenParity,
        QSerialPort::MarkParity, QSerialPort::SpaceParity};
    check(port_->setParity(parities[parity_]), "the parity");
    // Linux has no 1.5 stop bits; a UART set to two stop bits sends 1.5 with five data bits, the
    // only word length for which 1.5 is defined, so 1.5 maps to two.
    check(port_->setStopBits(stopBits_ == sb1BITS ? QSerialPort::OneStop : QSerialPort::TwoStop),
          "the stop bits");
    check(port_->setFlowControl(hw_ == hhRTSCTS    ? QSerialPort::HardwareControl
                                : sw_ == shXONXOFF ? QSerialPort::SoftwareControl
                                                   : QSerialPort::NoFlowControl),
          "the flow control");
    // What the port's settings leave open: received bytes are delivered whatever their parity
    // bit, unchanged, and XON/XOFF can come with RTS/CTS.
    const int fd = static_cast<int>(port_->handle());
    termios tio{};
    if (fd >= 0 && ::tcgetattr(fd, &tio) == 0) {
        tio.c_iflag &= ~static_cast<tcflag_t>(INPCK | PARMRK | IGNPAR | ISTRIP | IGNBRK | BRKINT |
                                              ICRNL | INLCR | IGNCR);
        if (sw_ == shXONXOFF)
            tio.c_iflag |= IXON | IXOFF;
        else
            tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        check(::tcsetattr(fd, TCSANOW, &tio) == 0, "the raw input mode");
    } else {
        check(false, "the raw input mode");
    }
    check(port_->setDataTerminalReady(enableDtr_), "DTR");
    if (hw_ == hhNONE) check(port_->setRequestToSend(false), "RTS");
    lastError_ = refused.isEmpty() ? QString()
                                   : port_->portName() + QStringLiteral(": the device refused ") +
                                         refused.join(QStringLiteral(", "));
    port_->clearError();
    PurgeQueues(true, true);
    // The input queue: what one tick can take; the rest waits in the device for the next tick.
    // There is no output queue to size: nothing is sent.
    port_->setReadBufferSize(inBufSize_);
}

void TCommPortDriver::PurgeQueues(bool input, bool output) {
    if (open_ && remoteOpen_) {
        if (input) remote_->purge(); // what the server still holds is not ours to empty
        return;
    }
    if (!open_ || !port_->isOpen()) return;
    QSerialPort::Directions d;
    if (input) d |= QSerialPort::Input;
    if (output) d |= QSerialPort::Output;
    if (d) port_->clear(d);
}

void TCommPortDriver::pollTick() {
    if (!open_) return;
    qint64 n = 0;
    if (remoteOpen_)
        n = remote_->read(receiveBuffer_.get(), inBufSize_);
    else if (port_->isOpen())
        n = port_->read(reinterpret_cast<char*>(receiveBuffer_.get()), inBufSize_);
    // The handler is read anew on every tick, so a new one takes over from the next tick.
    if (n > 0 && OnReceiveData)
        OnReceiveData(this, receiveBuffer_.get(), static_cast<std::int32_t>(n));
}

void TCommPortDriver::SetComPort(TComPortNumber value) {
    if (!open_) comPort_ = value;
}

void TCommPortDriver::SetComPortSpeed(TComPortBaudRate value) {
    speed_ = value;
    ApplyLineSettings();
}

void TCommPortDriver::SetComPortDataBits(TComPortDataBits value) {
    dataBits_ = value;
    ApplyLineSettings();
}

void TCommPortDriver::SetComPortStopBits(TComPortStopBits value) {
    stopBits_ = value;
    ApplyLineSettings();
}

void TCommPortDriver::SetComPortParity(TComPortParity value) {
    parity_ = value;
    ApplyLineSettings();
}

void TCommPortDriver::SetComPortHwHandshaking(TComPortHwHandshaking value) {
    hw_ = value;
    ApplyLineSettings();
}

void TCommPortDriver::SetComPortSwHandshaking(TComPortSwHandshaking value) {
    sw_ = value;
    ApplyLineSettings();
}

void TCommPortDriver::SetComPortInBufSize(quint16 value) {
    // A chunk of no bytes could never be delivered, and QSerialPort reads 0 as "unbounded".
    if (open_ || value == 0) return;
    if (value != inBufSize_) receiveBuffer_.reset(new std::uint8_t[value]);
    inBufSize_ = value;
}

void TCommPortDriver::SetComPortPollingDelay(quint16 value) {
    if (value == pollingDelay_) return;
    if (open_) {
        timer_->stop();
        pollingDelay_ = value;
        // A period of 0 would poll on every turn of the event loop.
        timer_->start(qMax<int>(pollingDelay_, 1));
    } else {
        pollingDelay_ = value;
    }
}

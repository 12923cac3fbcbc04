// The serial port driver: opens one of the ports COM1 to COM4, sets the line up and polls it on
// a timer of the GUI thread, handing whatever arrived since the last tick to OnReceiveData as one
// chunk. It only receives; failures are quiet (the window's link watchdog shows them). A COM
// number mapped to rfc2217://HOST:PORT is a port on another machine (RemoteSerialPort), read
// through the same tick and buffer.
#pragma once

#include "Rfc2217Codec.h"

#include "MeterFamily.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QSerialPort;
class QTimer;
namespace dmm::link {
class RemoteSerialPort;
}

class TCommPortDriver : public QObject {
    Q_OBJECT

public:
    enum TComPortNumber { pnCOM1, pnCOM2, pnCOM3, pnCOM4 };
    Q_ENUM(TComPortNumber)
    enum TComPortBaudRate {
        br110,
        br300,
        br600,
        br1200,
        br2400,
        br4800,
        br9600,
        br14400,
        br19200,
        br38400,
        br56000,
        br57600,
        br115200
    };
    Q_ENUM(TComPortBaudRate)
    enum TComPortDataBits { db5BITS, db6BITS, db7BITS, db8BITS };
    Q_ENUM(TComPortDataBits)
    enum TComPortStopBits { sb1BITS, sb1HALFBITS, sb2BITS };
    Q_ENUM(TComPortStopBits)
    enum TComPortParity { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
    Q_ENUM(TComPortParity)
    enum TComPortHwHandshaking { hhNONE, hhRTSCTS };
    Q_ENUM(TComPortHwHandshaking)
    enum TComPortSwHandshaking { shNONE, shXONXOFF };
    Q_ENUM(TComPortSwHandshaking)

    // Sender, address of the first received byte (valid during the call only), byte count.
    using TComPortReceiveDataEvent = std::function<void(
        TCommPortDriver* Sender, const std::uint8_t* DataPtr, std::int32_t DataSize)>;

    Q_PROPERTY(TComPortNumber ComPort READ ComPort WRITE SetComPort)
    Q_PROPERTY(TComPortBaudRate ComPortSpeed READ ComPortSpeed WRITE SetComPortSpeed)
    Q_PROPERTY(TComPortDataBits ComPortDataBits READ ComPortDataBits WRITE SetComPortDataBits)
    Q_PROPERTY(TComPortStopBits ComPortStopBits READ ComPortStopBits WRITE SetComPortStopBits)
    Q_PROPERTY(TComPortParity ComPortParity READ ComPortParity WRITE SetComPortParity)
    Q_PROPERTY(TComPortHwHandshaking ComPortHwHandshaking READ ComPortHwHandshaking WRITE
                   SetComPortHwHandshaking)
    Q_PROPERTY(TComPortSwHandshaking ComPortSwHandshaking READ ComPortSwHandshaking WRITE
                   SetComPortSwHandshaking)
    Q_PROPERTY(quint16 ComPortInBufSize READ ComPortInBufSize WRITE SetComPortInBufSize)
    Q_PROPERTY(quint16 ComPortOutBufSize READ ComPortOutBufSize WRITE SetComPortOutBufSize)
    Q_PROPERTY(quint16 ComPortPollingDelay READ ComPortPollingDelay WRITE SetComPortPollingDelay)
    Q_PROPERTY(bool EnableDTROnOpen READ EnableDTROnOpen WRITE SetEnableDTROnOpen)
    Q_PROPERTY(quint16 OutputTimeout READ OutputTimeout WRITE SetOutputTimeout)

    explicit TCommPortDriver(QObject* owner = nullptr);

    // Speed, data bits, parity and stop bits of a meter family's line; a speed the driver does
    // not offer leaves the speed as it was.
    void SetLine(const dmm::SerialLine& line);
    ~TCommPortDriver() override;

    bool OpenPort();
    void ClosePort();
    bool IsPortOpen() const { return open_; }
    // What went wrong with the last OpenPort, or which line settings the device refused when
    // they were last applied ("/dev/pts/3: the device refused DTR"); empty when all went through.
    // The window stays quiet about it; the logger says it.
    const QString& LastError() const { return lastError_; }
    // False once the device went away while the port is open (it then delivers nothing until
    // ClosePort and OpenPort find it back); true while it is there.
    bool IsDevicePresent() const;
    // True while a remote port is still connecting or negotiating (it is present meanwhile);
    // always false for a local device, which is there or not as soon as it is opened. A remote
    // port that is refused or does not negotiate in time is then no longer present.
    bool IsOpening() const;
    // The remote port while one is open, else null.
    const dmm::link::RemoteSerialPort* RemotePort() const;

    TComPortNumber ComPort() const { return comPort_; }
    void SetComPort(TComPortNumber value);
    TComPortBaudRate ComPortSpeed() const { return speed_; }
    void SetComPortSpeed(TComPortBaudRate value);
    TComPortDataBits ComPortDataBits() const { return dataBits_; }
    void SetComPortDataBits(TComPortDataBits value);
    TComPortStopBits ComPortStopBits() const { return stopBits_; }
    void SetComPortStopBits(TComPortStopBits value);
    TComPortParity ComPortParity() const { return parity_; }
    void SetComPortParity(TComPortParity value);
    TComPortHwHandshaking ComPortHwHandshaking() const { return hw_; }
    void SetComPortHwHandshaking(TComPortHwHandshaking value);
    TComPortSwHandshaking ComPortSwHandshaking() const { return sw_; }
    void SetComPortSwHandshaking(TComPortSwHandshaking value);
    quint16 ComPortInBufSize() const { return inBufSize_; }
    void SetComPortInBufSize(quint16 value);
    quint16 ComPortOutBufSize() const { return outBufSize_; }
    void SetComPortOutBufSize(quint16 value) { outBufSize_ = value; }
    quint16 ComPortPollingDelay() const { return pollingDelay_; }
    void SetComPortPollingDelay(quint16 value);
    bool EnableDTROnOpen() const { return enableDtr_; }
    void SetEnableDTROnOpen(bool value) { enableDtr_ = value; }
    quint16 OutputTimeout() const { return outputTimeout_; }
    void SetOutputTimeout(quint16 value) { outputTimeout_ = value; }

    TComPortReceiveDataEvent OnReceiveData;

    // The number in a baud rate's name, 110 to 115200.
    static qint32 baudRateValue(TComPortBaudRate rate);
    // The device the port opens, or an empty text when it has none: the COM number mapping of
    // ComPortMap.
    QString deviceName() const;
    // The line settings again, then both queues emptied; nothing while closed.
    void ApplyLineSettings();
    void PurgeQueues(bool input, bool output);

private:
    void pollTick();
    void deviceLost();
    bool openRemote(const QString& device);
    dmm::link::Rfc2217Codec::LineSettings remoteSettings() const;

    TComPortNumber comPort_ = pnCOM2;
    TComPortBaudRate speed_ = br9600;
    TComPortDataBits dataBits_ = db8BITS;
    TComPortStopBits stopBits_ = sb1BITS;
    TComPortParity parity_ = ptNONE;
    TComPortHwHandshaking hw_ = hhNONE;
    TComPortSwHandshaking sw_ = shNONE;
    quint16 inBufSize_ = 2048;
    quint16 outBufSize_ = 2048;
    quint16 pollingDelay_ = 50;
    bool enableDtr_ = true;
    quint16 outputTimeout_ = 4000;

    bool open_ = false;
    QString lastError_;
    std::unique_ptr<std::uint8_t[]> receiveBuffer_;
    QSerialPort* port_ = nullptr;
    QTimer* timer_ = nullptr;
    dmm::link::RemoteSerialPort* remote_ = nullptr; // made on the first remote open
    bool remoteOpen_ = false;
};

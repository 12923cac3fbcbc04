// COM1 to COM4 on Linux. COMn is the n-th serial port present: the USB-serial adapters
// /dev/ttyUSB* first, then /dev/ttyACM*, each in numeric order (ttyUSB2 before ttyUSB10), then
// the built-in ports the system lists as present. The environment variable DMM_COMn (n = 1 to 4)
// names the device of that COM number alone; the others keep theirs.
#pragma once

#include <QString>
#include <QStringList>

namespace dmm::link {

// The numbered order of serial devices: devEntries are the entries of /dev (any names; only
// ttyUSB<n> and ttyACM<n> are taken), builtInPorts the system locations of the ports the system
// lists as present (ttyUSB/ttyACM among them are left out here, as devEntries has them).
QStringList orderedSerialDevices(const QStringList& devEntries, const QStringList& builtInPorts);

// The device of COM number n (1 to 4) given the ordered devices and the override (empty when
// DMM_COMn is unset). Empty when COMn has no device.
QString comDeviceFor(int n, const QStringList& ordered, const QString& override);

// The device of COM number n on this machine now; empty when there is none.
QString comPortDevice(int n);

// For the window's port panel tooltip: "COM1: /dev/ttyUSB0", or "COM1: no device".
QString comPortDescription(int n);

} // namespace dmm::link

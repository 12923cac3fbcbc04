// COM1 to COM4 on Linux: USB adapters first, then ACM devices, numeric order, then built-in
// ports; DMM_COMn overrides its own number alone.
#include "ComPortMap.h"
#include "Pty.h"

#include <gtest/gtest.h>

using dmm::link::comDeviceFor;
using dmm::link::orderedSerialDevices;

TEST(ComPortMap, UsbThenAcmThenBuiltInEachInNumericOrder) {
    const QStringList dev = {"ttyUSB10", "tty0",    "ttyACM1", "ttyUSB2", "ttyS0",
                             "ttyUSB",   "ttyUSBx", "ttyACM0", "ttyUSB0", "null"};
    const QStringList builtIn = {"/dev/ttyS10", "/dev/ttyS2", "/dev/ttyUSB2", "/dev/ttyS0",
                                 "/dev/ttyACM0"};
    const QStringList expected = {"/dev/ttyUSB0", "/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyACM0",
                                  "/dev/ttyACM1", "/dev/ttyS0",   "/dev/ttyS2",    "/dev/ttyS10"};
    EXPECT_EQ(orderedSerialDevices(dev, builtIn), expected);
    // Phantom ttyS entries of /dev are not ports: only the system's list of present ports counts.
    EXPECT_EQ(orderedSerialDevices({"ttyS0", "ttyS1", "ttyS2"}, {"/dev/ttyS1"}),
              QStringList{"/dev/ttyS1"});
    EXPECT_TRUE(orderedSerialDevices({}, {}).isEmpty());
}

TEST(ComPortMap, ComNumbersAndOverrides) {
    const QStringList ordered = {"/dev/ttyUSB0", "/dev/ttyACM0", "/dev/ttyS0"};
    EXPECT_EQ(comDeviceFor(1, ordered, {}), "/dev/ttyUSB0");
    EXPECT_EQ(comDeviceFor(2, ordered, {}), "/dev/ttyACM0");
    EXPECT_EQ(comDeviceFor(3, ordered, {}), "/dev/ttyS0");
    EXPECT_EQ(comDeviceFor(4, ordered, {}), ""); // no fourth port: fails to open quietly
    EXPECT_EQ(comDeviceFor(0, ordered, {}), "");
    EXPECT_EQ(comDeviceFor(5, ordered, "/dev/x"), "");
    // An override names its own COM number only; the others keep theirs.
    EXPECT_EQ(comDeviceFor(2, ordered, "/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(comDeviceFor(1, ordered, {}), "/dev/ttyUSB0");
    EXPECT_EQ(comDeviceFor(3, ordered, {}), "/dev/ttyS0");
}

TEST(ComPortMap, EnvironmentOverrideAndTooltipText) {
    ComOverride com4(4, QStringLiteral("/dev/pts/99"));
    EXPECT_EQ(dmm::link::comPortDevice(4), "/dev/pts/99");
    EXPECT_EQ(dmm::link::comPortDescription(4), "COM4: /dev/pts/99");
    EXPECT_EQ(dmm::link::comPortDevice(0), "");
}

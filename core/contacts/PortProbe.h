#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class SerialDevices;

// Port numbers n of "COMn" map to devices in fixed blocks of 16, so a setting
// survives restarts: COM1-16 /dev/ttyS0-15, COM17-32 /dev/ttyUSB0-15,
// COM33-48 /dev/ttyACM0-15.
constexpr int kMaxPort = 48;

// The device of port n; empty outside 1..kMaxPort.
QString PortDevicePath(int n);
// The port number of a device path; 0 when it has none.
int PortNumberOfDevice(const QString& path);
// "COM" followed by n.
QString PortName(int n);
// The number in a "COMn" text; 0 when it is none.
int PortNumberOfName(const QString& name);

// The numbers of the ports that exist, ascending. A built-in 8250 port that the
// kernel lists without hardware (sysfs type 0) is left out.
QList<int> ProbePorts(SerialDevices& devices);
// "COMn" for each probed number, in order.
QStringList PortNames(const QList<int>& ports);

// Where udev keeps a stable name for every USB serial adapter; it survives
// replugging, while the ttyUSBn behind it may change.
inline constexpr char kSerialByIdFolder[] = "/dev/serial/by-id";

// One entry of the settings dialog's port list.
struct SerialPortEntry {
    int port = 0;   // n of "COMn"; 0 for an adapter without a COM number
    QString device; // what to open: the device, or the stable name where there is no number
    QString stable; // the stable name under /dev/serial/by-id; empty for built-in ports
    QString label;  // "COM17 – FTDI FT232R USB UART A1B2C3"
};

// The stable by-id path that leads to `device`; empty when there is none.
QString StableNameOf(SerialDevices& devices, const QString& device);
// The adapter's name made readable from its by-id name
// ("usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0" -> "FTDI FT232R USB UART A1B2C3").
QString AdapterName(const QString& byIdName);
// The probed ports with the adapters' names, then adapters beyond the COM numbers.
QList<SerialPortEntry> ListSerialPorts(SerialDevices& devices);

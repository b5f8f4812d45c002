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

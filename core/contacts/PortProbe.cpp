#include "core/contacts/PortProbe.h"

#include "core/platform/SerialDevices.h"

#include <QRegularExpression>

namespace {

constexpr int kBlock = 16;
const char* const kPrefixes[] = {"/dev/ttyS", "/dev/ttyUSB", "/dev/ttyACM"};

} // namespace

QString PortDevicePath(int n) {
    if (n < 1 || n > kMaxPort)
        return QString();
    return QLatin1String(kPrefixes[(n - 1) / kBlock]) + QString::number((n - 1) % kBlock);
}

int PortNumberOfDevice(const QString& path) {
    for (int block = 0; block < 3; ++block) {
        const QLatin1String prefix(kPrefixes[block]);
        if (!path.startsWith(prefix))
            continue;
        const QStringView rest = QStringView(path).mid(prefix.size());
        bool ok = false;
        const int index = rest.toInt(&ok);
        if (!ok || index < 0 || index >= kBlock || rest != QString::number(index))
            return 0;
        return block * kBlock + index + 1;
    }
    return 0;
}

QString PortName(int n) {
    return QStringLiteral("COM") + QString::number(n);
}

int PortNumberOfName(const QString& name) {
    if (!name.startsWith(QLatin1String("COM")))
        return 0;
    bool ok = false;
    const int n = name.mid(3).toInt(&ok);
    return ok && n >= 1 && n <= kMaxPort ? n : 0;
}

QList<int> ProbePorts(SerialDevices& devices) {
    QList<int> ports;
    for (int n = 1; n <= kMaxPort; ++n) {
        const QString path = PortDevicePath(n);
        if (!devices.isCharDevice(path))
            continue;
        if (n <= kBlock) {
            const QString type = devices.readAttribute(QStringLiteral("/sys/class/tty/ttyS%1/type").arg(n - 1));
            if (type == QLatin1String("0"))
                continue; // PORT_UNKNOWN: a placeholder without a UART
        }
        ports << n;
    }
    return ports;
}

QStringList PortNames(const QList<int>& ports) {
    QStringList names;
    for (int n : ports)
        names << PortName(n);
    return names;
}

QString StableNameOf(SerialDevices& devices, const QString& device) {
    const QString folder = QLatin1String(kSerialByIdFolder);
    if (device.startsWith(folder + QLatin1Char('/')))
        return device;
    const QString target = devices.canonicalPath(device);
    if (target.isEmpty())
        return QString();
    for (const QString& name : devices.entries(folder)) {
        const QString link = folder + QLatin1Char('/') + name;
        if (devices.canonicalPath(link) == target)
            return link;
    }
    return QString();
}

QString AdapterName(const QString& byIdName) {
    QString name = byIdName;
    if (name.startsWith(QLatin1String("usb-")))
        name = name.mid(4);
    // "-if00-port0", "-if00": the interface of a composite device.
    static const QRegularExpression kInterface(QStringLiteral("-if[0-9]+(-port[0-9]+)?$"));
    name.remove(kInterface);
    return name.replace(QLatin1Char('_'), QLatin1Char(' '));
}

QList<SerialPortEntry> ListSerialPorts(SerialDevices& devices) {
    const QString folder = QLatin1String(kSerialByIdFolder);
    QList<SerialPortEntry> list;
    for (int n : ProbePorts(devices)) {
        SerialPortEntry e;
        e.port = n;
        e.device = PortDevicePath(n);
        e.stable = StableNameOf(devices, e.device);
        e.label = PortName(n);
        if (!e.stable.isEmpty())
            e.label += QStringLiteral(" – ") + AdapterName(e.stable.mid(folder.size() + 1));
        list << e;
    }
    for (const QString& name : devices.entries(folder)) {
        const QString link = folder + QLatin1Char('/') + name;
        const QString target = devices.canonicalPath(link);
        if (target.isEmpty() || PortNumberOfDevice(target) != 0)
            continue; // gone, or listed above with its number
        SerialPortEntry e;
        e.device = link;
        e.stable = link;
        e.label = AdapterName(name) + QStringLiteral(" (") + target.mid(target.lastIndexOf(QLatin1Char('/')) + 1) +
                  QLatin1Char(')');
        list << e;
    }
    return list;
}

#include "contacts/PortProbe.h"

#include "platform/SerialDevices.h"

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

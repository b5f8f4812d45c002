#include "core/contacts/TComPort.h"

#include "core/contacts/ComErrors.h"
#include "core/contacts/ComWatcher.h"
#include "core/contacts/PortProbe.h"
#include "core/platform/SerialDevices.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/ioctl.h>

namespace {

constexpr int kReopenTries = 20; // 10 ms apart

// Closes the descriptor unless released, so every failed step leaves the port closed.
class FdGuard {
public:
    FdGuard(SerialDevices& devices, int fd) : m_devices(devices), m_fd(fd) {}
    ~FdGuard() {
        if (m_fd >= 0)
            m_devices.close(m_fd);
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int Release() { return std::exchange(m_fd, -1); }

private:
    SerialDevices& m_devices;
    int m_fd = -1;
};

bool NoModemLines(int error) {
    return error == ENOTTY || error == EINVAL;
}

speed_t SpeedOf(int rate) {
    switch (rate) {
    case 110:
        return B110;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    default:
        return B0; // no such standard rate on Linux
    }
}

int RateOf(TComPort::TBaudRate rate, int user) {
    static constexpr int kRates[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                     14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
    return rate == TComPort::brCustom ? user : kRates[rate];
}

} // namespace

TComPort::TComPort(SerialDevices& devices, const Clock& clock, QObject* parent)
    : QObject(parent), m_devices(devices), m_clock(clock) {}

TComPort::~TComPort() {
    Close();
    // No thread outlives the program: what still waits for a driver call is joined here.
    for (Joiner& joiner : m_joiners)
        joiner.thread.join();
}

QString TComPort::DevicePath() const {
    return m_deviceName.isEmpty() ? PortDevicePath(m_port) : m_deviceName;
}

void TComPort::SetDebounce(int ms) {
    m_debounce = ms;
    if (m_watcher)
        m_watcher->SetDebounce(ms);
}

int TComPort::WatchMask() const {
    int mask = 0;
    if (m_events & evRing)
        mask |= TIOCM_RNG;
    if (m_events & evCTS)
        mask |= TIOCM_CTS;
    if (m_events & evDSR)
        mask |= TIOCM_DSR;
    if (m_events & evRLSD)
        mask |= TIOCM_CD;
    return mask;
}

void TComPort::Open() {
    Close();
    JoinFinished();
    const QString path = DevicePath();
    if (path.isEmpty())
        throw EComHandle(ENOENT);
    const int fd = m_devices.open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw EComHandle(-fd);
    FdGuard guard(m_devices, fd);
    // The advisory lock is what other serial tools test; TIOCEXCL does not stop root.
    int r = m_devices.lockExclusive(fd);
    // A watcher that a busy machine kept from stopping in time may still hold the
    // previous opening's lock: give its joiner a moment before calling the port busy.
    for (int i = 0; r == EWOULDBLOCK && !m_joiners.empty() && i < kReopenTries; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        JoinFinished();
        r = m_devices.lockExclusive(fd);
    }
    if (r)
        throw EComHandle(r == EWOULDBLOCK ? EBUSY : r);
    Configure(fd);

    // The driver behind the name decides which lines can be trusted.
    const QString device = m_devices.canonicalPath(path);
    WatchOptions options;
    options.mask = WatchMask();
    if (device.startsWith(QLatin1String("/dev/ttyACM")))
        options.mask &= ~TIOCM_CTS; // cdc_acm reports CTS always on
    options.ringTrailingEdge = device.startsWith(QLatin1String("/dev/ttyS"));
    options.debounceMs = qBound(0, m_debounce, 50);
    m_watchedLines = StatusFromModemBits(options.mask);
    m_ringTrailingEdge = options.ringTrailingEdge;
    m_stableName = StableNameOf(m_devices, device.isEmpty() ? path : device);

    const quint64 generation = ++m_generation;
    m_watcher = std::make_unique<ComWatcher>(
        m_devices, m_clock, fd, options,
        [this, generation](const ComEvent& event) {
            QMetaObject::invokeMethod(
                this, [this, generation, event] { Deliver(generation, event); }, Qt::QueuedConnection);
        },
        [this, generation](int error) {
            QMetaObject::invokeMethod(
                this, [this, generation, error] { Lose(generation, error); }, Qt::QueuedConnection);
        },
        [this, generation](bool polling) {
            QMetaObject::invokeMethod(
                this, [this, generation, polling] { Polling(generation, polling); }, Qt::QueuedConnection);
        });
    m_fd = guard.Release();
    emit OnOpen();
}

void TComPort::Configure(int fd) {
    if (const int r = m_devices.setExclusive(fd))
        throw EComState(r);

    termios attr{};
    if (const int r = m_devices.getAttr(fd, attr))
        throw EComState(r);
    cfmakeraw(&attr);
    // CLOCAL always: DCD is a start line, and without it a DCD drop hangs the port up.
    attr.c_cflag |= CLOCAL | CREAD;
    attr.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
    switch (m_dataBits) {
    case 5:
        attr.c_cflag |= CS5;
        break;
    case 6:
        attr.c_cflag |= CS6;
        break;
    case 7:
        attr.c_cflag |= CS7;
        break;
    case 8:
        attr.c_cflag |= CS8;
        break;
    default:
        throw EComState(EINVAL);
    }
    if (m_stopBits != sbOneStopBit)
        attr.c_cflag |= CSTOPB; // with 5 data bits the UART makes this 1.5
    switch (m_parity) {
    case prNone:
        break;
    case prOdd:
        attr.c_cflag |= PARENB | PARODD;
        break;
    case prEven:
        attr.c_cflag |= PARENB;
        break;
    case prMark:
        attr.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case prSpace:
        attr.c_cflag |= PARENB | CMSPAR;
        break;
    }
    if (m_flowControl == fcXonXoff) {
        attr.c_iflag |= IXON | IXOFF;
        attr.c_cc[VSTART] = 17;
        attr.c_cc[VSTOP] = 19;
    }
    // RTS/CTS handshake is not used: stray input would drop RTS and silence the
    // finish contacts. RTS is held on below and input is discarded instead.
    const speed_t speed = SpeedOf(RateOf(m_baudRate, m_baudRateUser));
    if (speed == B0)
        throw EComState(EINVAL);
    cfsetispeed(&attr, speed);
    cfsetospeed(&attr, speed);
    attr.c_cc[VMIN] = 0; // reads return at once
    attr.c_cc[VTIME] = 0;
    if (const int r = m_devices.setAttr(fd, attr))
        throw EComState(r);

    // A pseudo terminal has no modem lines; its watcher ends and reports that.
    const int on = TIOCM_RTS | (m_enableDtr ? TIOCM_DTR : 0);
    if (const int r = m_devices.setModemBits(fd, on); r && !NoModemLines(r))
        throw EComState(r);
    if (!m_enableDtr)
        if (const int r = m_devices.clearModemBits(fd, TIOCM_DTR); r && !NoModemLines(r))
            throw EComState(r);
    if (const int r = m_devices.flushInput(fd))
        throw EComState(r);
    // FTDI adapters otherwise report line changes only every 16 ms; other drivers may refuse.
    m_devices.setLowLatency(fd);
}

void TComPort::Close() {
    if (m_fd < 0)
        return;
    // A watcher inside a slow driver call (an FTDI status query may take 5 s)
    // must not hold up the window: a joiner waits for it and only then closes
    // the descriptor, which the call still uses.
    if (m_watcher && !m_watcher->Stop(kCloseWaitMs)) {
        auto done = std::make_shared<std::atomic<bool>>(false);
        std::thread joiner([watcher = std::move(m_watcher), fd = m_fd, &devices = m_devices, done]() mutable {
            watcher.reset(); // joins
            devices.flushInput(fd);
            devices.close(fd);
            done->store(true);
        });
        m_joiners.push_back(Joiner{std::move(joiner), std::move(done)});
    } else {
        m_watcher.reset();
        // Input is never read; drop what came in so the next opening starts clean.
        m_devices.flushInput(m_fd);
        m_devices.close(m_fd);
    }
    m_fd = -1;
    ++m_generation;
    emit OnClose();
}

void TComPort::JoinFinished() {
    for (auto it = m_joiners.begin(); it != m_joiners.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = m_joiners.erase(it);
        } else {
            ++it;
        }
    }
}

quint32 TComPort::ModemStatus() {
    int bits = 0;
    if (m_fd < 0 || m_devices.modemBits(m_fd, bits) != 0)
        return 0;
    return StatusFromModemBits(bits);
}

void TComPort::Deliver(quint64 generation, const ComEvent& event) {
    if (generation != m_generation || m_fd < 0)
        return;
    emit OnModemChange(event);
}

void TComPort::Polling(quint64 generation, bool polling) {
    if (generation != m_generation || m_fd < 0)
        return;
    emit OnPolling(polling);
}

void TComPort::Lose(quint64 generation, int error) {
    if (generation != m_generation || m_fd < 0)
        return;
    Close();
    emit OnLost(error);
}

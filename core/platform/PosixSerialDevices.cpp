#include "core/platform/PosixSerialDevices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <linux/serial.h>
#include <mutex>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace {

void NoOpHandler(int) {}

int ResultOf(int r) {
    return r < 0 ? errno : 0;
}

} // namespace

PosixSerialDevices::PosixSerialDevices() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction sa {};
        sa.sa_handler = NoOpHandler;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0; // no SA_RESTART: the blocked ioctl must return EINTR
        sigaction(wakeSignal(), &sa, nullptr);
    });
}

int PosixSerialDevices::wakeSignal() {
    return SIGRTMIN + 4;
}

int PosixSerialDevices::open(const QString& path, int flags) {
    const int fd = ::open(QFile::encodeName(path).constData(), flags);
    return fd < 0 ? -errno : fd;
}

// Linux releases the descriptor even when close reports EINTR, so never retry.
int PosixSerialDevices::close(int fd) {
    return ResultOf(::close(fd));
}

int PosixSerialDevices::getAttr(int fd, termios& attr) {
    return ResultOf(tcgetattr(fd, &attr));
}

int PosixSerialDevices::setAttr(int fd, const termios& attr) {
    return ResultOf(tcsetattr(fd, TCSANOW, &attr));
}

int PosixSerialDevices::setExclusive(int fd) {
    return ResultOf(ioctl(fd, TIOCEXCL));
}

int PosixSerialDevices::lockExclusive(int fd) {
    int r;
    do {
        r = flock(fd, LOCK_EX | LOCK_NB);
    } while (r < 0 && errno == EINTR);
    return ResultOf(r);
}

int PosixSerialDevices::flushInput(int fd) {
    return ResultOf(tcflush(fd, TCIFLUSH));
}

int PosixSerialDevices::setModemBits(int fd, int bits) {
    return ResultOf(ioctl(fd, TIOCMBIS, &bits));
}

int PosixSerialDevices::clearModemBits(int fd, int bits) {
    return ResultOf(ioctl(fd, TIOCMBIC, &bits));
}

int PosixSerialDevices::modemBits(int fd, int& bits) {
    return ResultOf(ioctl(fd, TIOCMGET, &bits));
}

namespace {

// One timer per waiting thread, made on its first wait and kept for the
// thread's life: a wait every millisecond must not create one each time.
class WaitTimer {
public:
    WaitTimer() {
        sigevent ev{};
        ev.sigev_notify = SIGEV_THREAD_ID;
        ev.sigev_signo = PosixSerialDevices::wakeSignal();
        ev._sigev_un._tid = static_cast<pid_t>(gettid()); // glibc 2.36 names no macro for it
        m_ok = timer_create(CLOCK_MONOTONIC, &ev, &m_timer) == 0;
    }
    ~WaitTimer() {
        if (m_ok)
            timer_delete(m_timer);
    }
    WaitTimer(const WaitTimer&) = delete;
    WaitTimer& operator=(const WaitTimer&) = delete;

    bool Arm(long ns) {
        itimerspec wake{};
        wake.it_value.tv_sec = ns / 1000000000;
        wake.it_value.tv_nsec = ns % 1000000000;
        return m_ok && timer_settime(m_timer, 0, &wake, nullptr) == 0;
    }
    // Disarms; whether the time limit had passed.
    bool Expired() {
        itimerspec left{};
        timer_gettime(m_timer, &left);
        const bool expired = left.it_value.tv_sec == 0 && left.it_value.tv_nsec == 0;
        const itimerspec off{};
        timer_settime(m_timer, 0, &off, nullptr);
        return expired;
    }

private:
    timer_t m_timer{};
    bool m_ok = false;
};

} // namespace

int PosixSerialDevices::waitModemChange(int fd, int mask, long timeoutNs) {
    thread_local WaitTimer timer;
    if (!timer.Arm(timeoutNs))
        return EOPNOTSUPP; // no timer: a wait without a limit could hold an edge for ever, so poll
    const int r = ResultOf(ioctl(fd, TIOCMIWAIT, static_cast<unsigned long>(mask)));
    const bool expired = timer.Expired();
    return r == EINTR && expired ? ETIMEDOUT : r;
}

int PosixSerialDevices::counters(int fd, ModemCounters& counters) {
    serial_icounter_struct ic{};
    if (ioctl(fd, TIOCGICOUNT, &ic) < 0)
        return errno;
    counters.cts = ic.cts;
    counters.dsr = ic.dsr;
    counters.rng = ic.rng;
    counters.dcd = ic.dcd;
    return 0;
}

int PosixSerialDevices::setLowLatency(int fd) {
    serial_struct ss{};
    if (ioctl(fd, TIOCGSERIAL, &ss) < 0)
        return errno;
    ss.flags |= ASYNC_LOW_LATENCY;
    return ResultOf(ioctl(fd, TIOCSSERIAL, &ss));
}

bool PosixSerialDevices::isCharDevice(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISCHR(st.st_mode);
}

QString PosixSerialDevices::readAttribute(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(f.read(256)).trimmed();
}

QString PosixSerialDevices::canonicalPath(const QString& path) {
    return QFileInfo(path).canonicalFilePath();
}

QStringList PosixSerialDevices::entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A thread created while the wake signal is blocked inherits the mask.
void PosixSerialDevices::prepareWaiter() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, wakeSignal());
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

void PosixSerialDevices::interrupt(pthread_t thread) {
    pthread_kill(thread, wakeSignal());
}

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

int PosixSerialDevices::waitModemChange(int fd, int mask) {
    return ResultOf(ioctl(fd, TIOCMIWAIT, static_cast<unsigned long>(mask)));
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

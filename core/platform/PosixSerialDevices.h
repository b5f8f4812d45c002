#pragma once

#include "core/platform/SerialDevices.h"

// The real calls: open(2), termios, ioctl(2), flock(2), sysfs. Waits are
// interrupted by a signal whose handler does nothing and is installed without
// SA_RESTART, so a blocked TIOCMIWAIT returns EINTR. The same signal, sent by a
// per-thread timer, ends a wait at its time limit.
class PosixSerialDevices : public SerialDevices {
public:
    PosixSerialDevices();

    int open(const QString& path, int flags) override;
    int close(int fd) override;
    int getAttr(int fd, termios& attr) override;
    int setAttr(int fd, const termios& attr) override;
    int setExclusive(int fd) override;
    int lockExclusive(int fd) override;
    int flushInput(int fd) override;
    int setModemBits(int fd, int bits) override;
    int clearModemBits(int fd, int bits) override;
    int modemBits(int fd, int& bits) override;
    int waitModemChange(int fd, int mask, long timeoutNs) override;
    int counters(int fd, ModemCounters& counters) override;
    int setLowLatency(int fd) override;
    bool isCharDevice(const QString& path) override;
    QString readAttribute(const QString& path) override;
    QString canonicalPath(const QString& path) override;
    QStringList entries(const QString& folder) override;
    void prepareWaiter() override;
    void interrupt(pthread_t thread) override;

    // The signal used to interrupt waits.
    static int wakeSignal();
};

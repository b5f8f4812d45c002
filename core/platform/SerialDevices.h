#pragma once

#include <QString>
#include <QStringList>

#include <pthread.h>
#include <termios.h>

// Interrupt counters of the four modem-status inputs; each counts the edges the
// driver saw, so two readings reveal changes that happened between them.
struct ModemCounters {
    int cts = 0;
    int dsr = 0;
    int rng = 0;
    int dcd = 0;
};

// The system calls the serial contact input makes, one virtual per call, so a
// test can script a device. Every call returns 0 (or the descriptor) on
// success and the errno value (negated for open) on failure, so callers never
// read errno. Modem bits are the TIOCM_* values.
class SerialDevices {
public:
    virtual ~SerialDevices() = default;

    // Returns the descriptor, or -errno.
    virtual int open(const QString& path, int flags) = 0;
    virtual int close(int fd) = 0;
    virtual int getAttr(int fd, termios& attr) = 0;
    virtual int setAttr(int fd, const termios& attr) = 0;
    virtual int setExclusive(int fd) = 0;             // TIOCEXCL
    virtual int lockExclusive(int fd) = 0;            // flock(LOCK_EX | LOCK_NB)
    virtual int flushInput(int fd) = 0;               // tcflush(TCIFLUSH)
    virtual int setModemBits(int fd, int bits) = 0;   // TIOCMBIS
    virtual int clearModemBits(int fd, int bits) = 0; // TIOCMBIC
    virtual int modemBits(int fd, int& bits) = 0;     // TIOCMGET
    // Blocks until one of the lines in `mask` changes (TIOCMIWAIT), at most
    // `timeoutNs`; ETIMEDOUT when that passed, EINTR when interrupted.
    virtual int waitModemChange(int fd, int mask, long timeoutNs) = 0;
    virtual int counters(int fd, ModemCounters& counters) = 0; // TIOCGICOUNT
    virtual int setLowLatency(int fd) = 0;                     // TIOCGSERIAL + TIOCSSERIAL

    // A character device at `path` exists.
    virtual bool isCharDevice(const QString& path) = 0;
    // Contents of a sysfs attribute, trimmed; empty when unreadable.
    virtual QString readAttribute(const QString& path) = 0;
    // The device a path leads to after all symbolic links; empty when it does not exist.
    virtual QString canonicalPath(const QString& path) = 0;
    // Names of the entries of a folder (/dev/serial/by-id), sorted; empty when it does not exist.
    virtual QStringList entries(const QString& folder) = 0;

    // Called first on a thread that will wait in waitModemChange.
    virtual void prepareWaiter() = 0;
    // Makes a wait of `thread` in waitModemChange return EINTR (if it is waiting).
    virtual void interrupt(pthread_t thread) = 0;
};

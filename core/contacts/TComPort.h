#pragma once

#include "core/contacts/ComEvent.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

class Clock;
class ComWatcher;
class SerialDevices;

// The serial port component: opens a numbered port (see PortProbe.h), configures
// the line and runs one watcher thread that reports modem-line changes. No data
// is read or written. Events are delivered on the thread that owns the object.
class TComPort : public QObject {
    Q_OBJECT
public:
    enum TBaudRate {
        brCustom,
        br110,
        br300,
        br600,
        br1200,
        br2400,
        br4800,
        br9600,
        br14400,
        br19200,
        br38400,
        br56000,
        br57600,
        br115200,
        br128000,
        br256000
    };
    enum TParity { prNone, prOdd, prEven, prMark, prSpace };
    enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
    enum TFlowControl { fcNone, fcRtsCts, fcXonXoff };
    enum TComEvent : quint32 {
        evRxChar = 0x001,
        evTxEmpty = 0x002,
        evRxFlag = 0x004,
        evRing = 0x008,
        evBreak = 0x010,
        evCTS = 0x020,
        evDSR = 0x040,
        evError = 0x080,
        evRLSD = 0x100,
        evAll = 0x1FF
    };
    using TComEvents = quint32; // TComEvent bits

    TComPort(SerialDevices& devices, const Clock& clock, QObject* parent = nullptr);
    ~TComPort() override;

    int Port() const { return m_port; }
    void SetPort(int port) { m_port = port; }
    // When not empty, opened instead of the device of Port.
    QString DeviceName() const { return m_deviceName; }
    void SetDeviceName(const QString& name) { m_deviceName = name; }
    TBaudRate BaudRate() const { return m_baudRate; }
    void SetBaudRate(TBaudRate rate) { m_baudRate = rate; }
    int BaudRateUser() const { return m_baudRateUser; }
    void SetBaudRateUser(int rate) { m_baudRateUser = rate; }
    TParity Parity() const { return m_parity; }
    void SetParity(TParity parity) { m_parity = parity; }
    TStopBits StopBits() const { return m_stopBits; }
    void SetStopBits(TStopBits bits) { m_stopBits = bits; }
    int DataBits() const { return m_dataBits; }
    void SetDataBits(int bits) { m_dataBits = bits; }
    TFlowControl FlowControl() const { return m_flowControl; }
    void SetFlowControl(TFlowControl flow) { m_flowControl = flow; }
    bool EnableDTR() const { return m_enableDtr; }
    void SetEnableDTR(bool on) { m_enableDtr = on; }
    TComEvents Events() const { return m_events; }
    void SetEvents(TComEvents events) { m_events = events; }
    int ReadBufSize() const { return m_readBufSize; }
    void SetReadBufSize(int size) { m_readBufSize = size; }
    int WriteBufSize() const { return m_writeBufSize; }
    void SetWriteBufSize(int size) { m_writeBufSize = size; }
    int Tag() const { return m_tag; }
    void SetTag(int tag) { m_tag = tag; }
    // Quiet time in ms after a line change before its settled state counts; a
    // pulse shorter than this is noise. 0 takes every edge as it comes. A new
    // value reaches an open port's watcher at once, without reopening.
    int Debounce() const { return m_debounce; }
    void SetDebounce(int ms);

    // Closes first when open; throws EComHandle or EComState and stays closed on failure.
    void Open();
    // Stops the watcher, closes the device; nothing when closed.
    void Close();
    bool Connected() const { return m_fd >= 0; }
    // The lines that are on now (status bits); 0 when closed or unreadable.
    quint32 ModemStatus();
    // The device path opened for the current settings.
    QString DevicePath() const;
    // The lines the open port reports (status bits): CTS is left out on ttyACM
    // ports, whose driver reports it always on.
    quint32 WatchedLines() const { return m_watchedLines; }
    // The driver counts RI only on its trailing edge (16550): its level is no
    // impulse time then.
    bool RingTrailingEdge() const { return m_ringTrailingEdge; }
    // The adapter's stable name under /dev/serial/by-id of the open port; empty when it has none.
    QString StableName() const { return m_stableName; }

    // How long closing waits for the watcher before a joiner takes over: a watcher
    // woken by its signal ends within a millisecond, and the window must stay well
    // under 100 ms even when one sits in a slow driver call.
    static constexpr int kCloseWaitMs = 50;

signals:
    void OnOpen();
    void OnClose();
    // A change of the watched lines, captured by the watcher.
    void OnModemChange(const ComEvent& event);
    // The device failed while open (unplugged); the port is already closed.
    void OnLost(int error);
    // The lines are polled every millisecond (true: the driver cannot wait or
    // its counters have not shown that they count), or no longer (false).
    void OnPolling(bool polling);

private:
    void Configure(int fd);
    int WatchMask() const;
    void Deliver(quint64 generation, const ComEvent& event);
    void Lose(quint64 generation, int error);
    void Polling(quint64 generation, bool polling);
    void JoinFinished();

    SerialDevices& m_devices;
    const Clock& m_clock;
    int m_port = 1;
    QString m_deviceName;
    TBaudRate m_baudRate = br9600;
    int m_baudRateUser = 9600;
    TParity m_parity = prNone;
    TStopBits m_stopBits = sbOneStopBit;
    int m_dataBits = 8;
    TFlowControl m_flowControl = fcNone;
    bool m_enableDtr = true;
    TComEvents m_events = evAll;
    int m_readBufSize = 2048;
    int m_writeBufSize = 2048;
    int m_tag = 0;
    int m_debounce = 0;
    quint32 m_watchedLines = kStatusLines;
    bool m_ringTrailingEdge = false;
    QString m_stableName;
    int m_fd = -1;
    // Counts openings, so that reports of an earlier opening that are still queued are dropped.
    quint64 m_generation = 0;
    std::unique_ptr<ComWatcher> m_watcher;
    // Each waits for a watcher that was inside a slow driver call when its port
    // closed, then closes that descriptor; all are joined before the component goes.
    struct Joiner {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::vector<Joiner> m_joiners;
};

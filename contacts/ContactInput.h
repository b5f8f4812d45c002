#pragma once

#include "contacts/ComEvent.h"
#include "contacts/TComPort.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// What the contacts need from the lock-out and the run control.
struct ContactHooks {
    std::function<bool()> startLockRunning;  // TimerGesperrtStart is active
    std::function<bool()> startArmed;        // ImageLSstart's switch is on
    std::function<bool()> finishLockRunning; // TimerGesperrtStop is active
    std::function<bool()> finishArmed;       // ImageLSstop's switch is on
    // mStart and mStop at the captured moment (nothing when the action is disabled).
    std::function<void(const Moment&)> clickStart;
    std::function<void(const Moment&)> clickStop;
    std::function<void(bool)> showIcons; // ImageLSstart and ImageLSstop
    // The contacts' own status field: its text, red when `alarm`. Nothing else writes it.
    std::function<void(const QString& text, bool alarm)> contactStatus;
    std::function<void()> alarmTone;                 // the contacts stopped working
    std::function<void(const QString&)> showMessage; // a message box for the operator
};

// The main window's side of the serial contacts: owns the port, shows the
// contact icons while it is open and turns captured line changes into START
// and FINISH.
class ContactInput : public QObject {
    Q_OBJECT
public:
    ContactInput(SerialDevices& devices, const Clock& clock, ContactHooks hooks, QObject* parent = nullptr);
    // Closes the port without calling the hooks: the window may be half gone.
    ~ContactInput() override;

    TComPort& ComPort() { return m_comPort; }
    quint32 LastModemStatus() const { return m_lastModemStatus; }

    // Quiet time of the lines in ms (setting Debounce); applies at once, also to
    // the open port, whose watcher goes on without reopening.
    void SetDebounce(int ms) { m_comPort.SetDebounce(ms); }

    // Opens port n with contact logic `alg` (n = 0 and no `path`: closes only);
    // a `path` (the adapter's stable name) is opened instead of port n's device.
    // Throws EComHandle or EComState; the port is closed then.
    void OpenPort(int n, int alg, const QString& path = QString());
    // At program start: like OpenPort; a failure shows in the status field and
    // once as a message, and a missing adapter is watched for until it comes.
    bool OpenPortAtStart(int n, int alg, const QString& path = QString());
    // After the settings dialog: closes when the choice (port number and path)
    // changed, takes over the contact logic, and opens when the choice changed
    // to a port or the chosen port is not open. Returns the error text for the
    // operator, empty on success.
    QString ApplySettings(int oldPort, int newPort, int alg);
    QString ApplySettings(int oldPort, const QString& oldPath, int newPort, const QString& newPath, int alg);
    void ClosePort();

    void ComPortOpen();
    void ComPortClose();
    void ComPortHard(const ComEvent& event);

    // The path watched for an adapter that went away; empty while none is awaited.
    QString AwaitedDevice() const { return m_awaited; }
    // How often a missing adapter is looked for.
    static constexpr int kReconnectMs = 1000;

private:
    void ComPortLost(int error);
    void ComPortPolling();
    void AwaitDevice(const QString& path);
    void StopAwaiting();
    void TryReconnect();
    void ShowStatus(const QString& text, bool alarm);
    QString OpenText() const;
    // "COMn", or the adapter's name where the port has no number.
    QString PortLabel(int n, const QString& path) const;

    ContactHooks m_hooks;
    SerialDevices& m_devices;
    TComPort m_comPort;
    QTimer m_reconnect;
    QString m_awaited;
    // No status word equals this, so the first report always counts as a change.
    quint32 m_lastModemStatus = 0x55555555;
};

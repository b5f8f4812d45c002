#pragma once

#include "contacts/ComEvent.h"
#include "contacts/TComPort.h"

#include <QObject>
#include <QString>

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
    std::function<void(const QString&)> statusMessage;
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

    // Opens port n with contact logic `alg` (n = 0: closes only). Throws
    // EComHandle or EComState; the port is closed then.
    void OpenPort(int n, int alg);
    // At program start: like OpenPort, but a failure only leaves the icons hidden.
    bool OpenPortAtStart(int n, int alg);
    // After the settings dialog: closes when the choice changed, takes over the
    // contact logic, and opens when the choice changed to a port or the chosen
    // port is not open. Returns the error text for the operator, empty on success.
    QString ApplySettings(int oldPort, int newPort, int alg);
    void ClosePort();

    void ComPortOpen();
    void ComPortClose();
    void ComPortHard(const ComEvent& event);

    // The status-bar text when port n fails while open.
    static QString LostMessage(int n, int error);

private:
    void ComPortLost(int error);

    ContactHooks m_hooks;
    TComPort m_comPort;
    // No status word equals this, so the first report always counts as a change.
    quint32 m_lastModemStatus = 0x55555555;
};

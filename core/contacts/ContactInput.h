#pragma once

#include "core/contacts/ComEvent.h"
#include "core/contacts/ContactGate.h"
#include "core/contacts/TComPort.h"

#include <QObject>
#include <QString>
#include <QTimer>

// The main window's side of the serial contacts: owns the port, asks the gate
// whether a contact is open, and tells through its signals what happened:
// impulses at their captured moment, the icons, the contacts' own status field,
// the alarm and messages for the operator.
class ContactInput : public QObject {
    Q_OBJECT
public:
    ContactInput(SerialDevices& devices, const Clock& clock, const ContactGate& gate, QObject* parent = nullptr);
    // Closes the port without signalling: the window may be half gone.
    ~ContactInput() override;

    TComPort& ComPort() { return m_comPort; }

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

    // "COMn", or the adapter's name where the port was chosen by its stable name.
    QString PortLabel() const;

    // The path watched for an adapter that went away; empty while none is awaited.
    QString AwaitedDevice() const { return m_awaited; }
    // How often a missing adapter is looked for.
    static constexpr int kReconnectMs = 1000;

signals:
    // START and FINISH at the moment the watcher captured.
    void StartImpulse(const Moment& at);
    void FinishImpulse(const Moment& at);
    // ImageLSstart and ImageLSstop: shown while the port is open.
    void IconsShown(bool shown);
    // The contacts' own status field: its text, red when `alarm`. Nothing else writes it.
    void StatusChanged(const QString& text, bool alarm);
    // The contacts stopped working.
    void AlarmWanted();
    // A message box for the operator (a port that could not be opened at start).
    void MessageWanted(const QString& text);

private:
    void ComPortLost(int error);
    void ComPortPolling(bool polling);
    void AwaitDevice(const QString& path);
    void StopAwaiting();
    void TryReconnect();
    void ShowStatus(const QString& text, bool alarm);
    // The status of the open port, which the polling note is added to.
    void ShowOpen(const QString& text);
    QString OpenText() const;
    // "COMn", or the adapter's name where the port has no number.
    QString PortLabel(int n, const QString& path) const;

    const ContactGate& m_gate;
    SerialDevices& m_devices;
    TComPort m_comPort;
    QTimer m_reconnect;
    QString m_awaited;
    QString m_openText;
    // No status word equals this, so the first report always counts as a change.
    quint32 m_lastModemStatus = 0x55555555;
};

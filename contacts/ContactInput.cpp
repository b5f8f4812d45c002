#include "contacts/ContactInput.h"

#include "contacts/ComErrors.h"
#include "contacts/ContactLogic.h"
#include "contacts/PortProbe.h"

#include <cerrno>

ContactInput::ContactInput(SerialDevices& devices, const Clock& clock, ContactHooks hooks, QObject* parent)
    : QObject(parent), m_hooks(std::move(hooks)), m_comPort(devices, clock) {
    m_comPort.SetPort(0);
    m_comPort.SetBaudRate(TComPort::br9600);
    m_comPort.SetBaudRateUser(28800);
    m_comPort.SetFlowControl(TComPort::fcRtsCts);
    m_comPort.SetEnableDTR(true);
    m_comPort.SetEvents(TComPort::evRing | TComPort::evCTS | TComPort::evDSR | TComPort::evRLSD);
    m_comPort.SetReadBufSize(64);
    m_comPort.SetWriteBufSize(64);
    connect(&m_comPort, &TComPort::OnOpen, this, &ContactInput::ComPortOpen);
    connect(&m_comPort, &TComPort::OnClose, this, &ContactInput::ComPortClose);
    connect(&m_comPort, &TComPort::OnModemChange, this, &ContactInput::ComPortHard);
    connect(&m_comPort, &TComPort::OnLost, this, &ContactInput::ComPortLost);
}

ContactInput::~ContactInput() {
    disconnect(&m_comPort, nullptr, this, nullptr);
    m_comPort.Close();
}

void ContactInput::OpenPort(int n, int alg) {
    m_comPort.Close();
    m_comPort.SetPort(n);
    m_comPort.SetTag(alg);
    if (n != 0)
        m_comPort.Open();
}

bool ContactInput::OpenPortAtStart(int n, int alg) {
    try {
        OpenPort(n, alg);
    } catch (const EComError&) {
        return false;
    }
    return m_comPort.Connected();
}

QString ContactInput::ApplySettings(int oldPort, int newPort, int alg) {
    if (newPort != oldPort)
        m_comPort.Close();
    if (newPort == 0)
        return QString();
    m_comPort.SetPort(newPort);
    m_comPort.SetTag(alg);
    // The same choice reopens a port that failed at start or was unplugged since.
    if (newPort == oldPort && m_comPort.Connected())
        return QString();
    try {
        m_comPort.Open();
    } catch (const EComError& e) {
        return e.Text();
    }
    return QString();
}

void ContactInput::ClosePort() {
    m_comPort.Close();
}

void ContactInput::ComPortOpen() {
    if (m_hooks.showIcons)
        m_hooks.showIcons(true);
}

void ContactInput::ComPortClose() {
    if (m_hooks.showIcons)
        m_hooks.showIcons(false);
}

void ContactInput::ComPortHard(const ComEvent& event) {
    // Decided on what the watcher captured, and timed with its tick and clock of
    // day: a busy GUI thread neither loses a short pulse nor delays a recorded time.
    const QList<ContactLine> lines =
        ContactTriggers(m_comPort.Tag(), event.status, event.pulsedLines, m_lastModemStatus);
    for (ContactLine line : lines) {
        // START and FINISH lock their contact at once, so a second line of the
        // same kind in this word finds it locked.
        if (IsStartLine(line)) {
            if (!m_hooks.startLockRunning() && m_hooks.startArmed())
                m_hooks.clickStart(event.At());
        } else {
            if (!m_hooks.finishLockRunning() && m_hooks.finishArmed())
                m_hooks.clickStop(event.At());
        }
    }
}

QString ContactInput::LostMessage(int n, int error) {
    if (error == EIO || error == ENODEV || error == ENXIO)
        return QStringLiteral("Schnittstelle %1 getrennt – Zeitnahme über Tastatur geht weiter").arg(PortName(n));
    return QStringLiteral("Schnittstelle %1 gestört (%2) – Zeitnahme über Tastatur geht weiter")
        .arg(PortName(n), ComErrorMessage(error));
}

void ContactInput::ComPortLost(int error) {
    // The port is closed already and the icons are hidden; the run goes on by keyboard.
    if (m_hooks.statusMessage)
        m_hooks.statusMessage(LostMessage(m_comPort.Port(), error));
}

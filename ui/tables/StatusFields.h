#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <map>

class QTimer;
class StatusLabel;

// The status bar's one writer. Field 0 shows the protocol position, 3 the window size, 4
// the queued finishes; field 2 what the program has to say: the standing states the
// controllers report (backups, journal, settings file, sleep block, where the backups go)
// and passing messages. A standing failure outranks a passing message: the message shows
// for a few seconds, then the failure is back. The contacts and the live results have
// fields of their own. Every field's tooltip holds its whole text.
class StatusFields : public QObject {
    Q_OBJECT
public:
    // The standing states of field 2, most important first. The first two are failures
    // (red); the others are notices.
    enum class State { BackupFailed, JournalFailed, SettingsFailed, SleepNotBlocked, BackupFolder };

    StatusFields(std::array<StatusLabel*, 5> panels, StatusLabel* contacts, StatusLabel* web,
                 StatusLabel* station = nullptr, QObject* parent = nullptr);

    // How long a passing message stands in front of a failure.
    static constexpr int kPassingMs = 6000;

public slots:
    // Fields 0, 3 and 4 (2 through the slots below).
    void SetText(int panel, const QString& text);
    // A standing state; an empty text ends it.
    void SetState(State state, const QString& text);
    // A message that stands until the next one, or for kPassingMs while a failure stands.
    void ShowPassing(const QString& text);
    void SetContacts(const QString& text, bool alarm);
    void SetWeb(const QString& text, bool alarm);
    // The other timing station: link, clock offset; hidden while the PC is alone.
    void SetStation(const QString& text, bool alarm);

private:
    void ShowField2();
    static bool IsFailure(State state) { return state <= State::SettingsFailed; }

    std::array<StatusLabel*, 5> m_panels;
    StatusLabel* m_contacts;
    StatusLabel* m_web;
    StatusLabel* m_station;
    std::map<State, QString> m_states;
    QString m_passing;
    bool m_passingFresh = false;
    QTimer* m_passingTimer;
};

#pragma once

#include "core/platform/Clock.h"
#include "core/race/JournalEntry.h"
#include "core/race/RunState.h"
#include "core/settings/TSettings.h"
#include "ui/run/InputMoments.h"
#include "ui/settings/SettingsEditor.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QAction;
class QLineEdit;
class QLabel;
class QAbstractButton;
class NumberBox;
class TBitBtnWithColor;
class ProtocolTable;
class FinishTable;
class LockOut;
class RunDisplay;
class Sound;
class Prompts;
class TFDlgYesNo;

// The controls of the main window that START, FINISH and ENDE drive.
struct RunControls {
    TBitBtnWithColor* bSTART = nullptr;
    TBitBtnWithColor* bSTOP = nullptr;
    TBitBtnWithColor* bEnd = nullptr;
    const TBitBtnWithColor* bTimer = nullptr; // read only: the countdown owns it
    QAction* mStart = nullptr;
    QAction* mStop = nullptr;
    QAction* mEnd = nullptr;
    NumberBox* cbStartN = nullptr;
    NumberBox* cbStopN = nullptr;
    QLineEdit* EditPred = nullptr;
    QAbstractButton* sbSound1 = nullptr;
    QAbstractButton* sbSound0 = nullptr;
    QAbstractButton* sbLoadList = nullptr;
    QAbstractButton* bCFG = nullptr;
    QLabel* LabelNr = nullptr;
};

// START, FINISH and ENDE, the number boxes, the pre-entered finish order and the tones.
// The only writer of the command buttons (enabled state and colour), their actions and
// the two number boxes: the neighbours change them through the intents below.
class RunControl : public QObject {
    Q_OBJECT
public:
    // The contacts' lock-out is run control's own to drive; the countdown, the backups and
    // the journal follow its signals.
    RunControl(const RunControls& controls, Clock& clock, const TSettings& settings, RunState& state,
               ProtocolTable& protocol, FinishTable& finish, LockOut& lockOut, RunDisplay& display, Sound& sound,
               Prompts& prompts, TFDlgYesNo& question, const QString& programFolder, QObject* parent = nullptr);
    // From now on a key press or click is timed by its input event's own time.
    void TimeInputsByTheirEvents();

    // A contact impulse: START/FINISH through their actions, recording the moment the
    // watcher captured instead of the moment at which the handler runs.
    // `source` is what the journal names ("Kontakt COM1").
    void StartByImpulse(const Moment& at, const QString& source = JournalSource::Contact);
    void StopByImpulse(const Moment& at, const QString& source = JournalSource::Contact);
    // Triggers `action` with the journal naming `source` as where the command came from
    // (a route without one is a key).
    void TriggerFrom(QAction* action, const QString& source);

    void mStartClick();
    void mStopClick();
    void bEndClick();
    // The end operation without the question (also used by clearing the protocol).
    void EndCompetition();
    // True when the window may close ("Programm beenden?").
    bool FormCloseQuery();

    void sbSound0Click();
    void sbSound1Click();
    void ApplySound();
    // The sound buttons change Sound through `writer`.
    void SetSettingsWriter(SettingsEditor& editor) { m_write = &editor; }
    // After a settings change: the sound buttons follow Sound.
    void ApplySettings(const TSettings& before);

    const QString& StartToneFile() const { return m_startTone; }
    const QString& FinishToneFile() const { return m_finishTone; }

    // Applies the start mode to the window: number box and its label in individual start only.
    void ApplyStartMode();
    // START can be given now (the button is enabled).
    bool StartAvailable() const;

    // START or FINISH as the operator's command from `source` (a double click in the protocol).
    void StartFrom(const QString& source);
    void FinishFrom(const QString& source);
    // FINISH may be given (the action only; the button follows the chosen row).
    void SetFinishAvailable(bool available);
    // The finish-number box: no number for the next FINISH.
    void ClearFinishNumber();
    // A finished number leaves the box's list; with the list empty, the text goes too.
    void WithdrawFinishNumber(const QString& number);
    // The start-number box: its list (start numbers of the protocol) and the number shown.
    void SetStartNumbers(const QStringList& numbers);
    // The number shown and chosen in the list when it is there (the next to start).
    void SelectStartNumber(const QString& number);
    // Both boxes empty, without lists (the protocol was cleared).
    void ClearNumberBoxes();
    // The operator chose protocol row `row`: the number boxes, the command colours, the
    // contacts and the running display follow it.
    void ProtocolRowChosen(int row, bool byOperator = true);
    // After the tables and the run state came back at program start: a run that was going
    // on looks and times as before (FINISH and ENDE open, the clock running from the first
    // start, a mass start's START closed until ENDE), its athletes on the course timed
    // from their start ticks.
    void ResumeRun();

    // A START another station took: recorded at `at` (its clock of day, and the local
    // tick that lies as far back as its UTC moment), journalled with `detail` (where it
    // came from and its place in that station's sequence). The operator's number boxes,
    // selection, tone and contacts stay as they are.
    enum class RemoteStart { Applied, UnknownNumber, AlreadyStarted };
    RemoteStart ApplyRemoteStart(const QString& number, const Moment& at, const QString& source,
                                 const QList<QPair<QString, QString>>& detail);

signals:
    // A mass start closes the countdown; ENDE opens it again.
    void TimerAvailable(bool available);
    // START and ENDE stop a running countdown.
    void CountdownStopWanted();
    // START was recorded at `tick` (the countdown follows it when automatic start is on).
    void Started(Tick tick);
    // START, FINISH and ENDE changed the tables or the run: both backups are due.
    void BackupsDue();
    // START, FINISH, QUEUED and ENDE, for the journal.
    void Journal(const QList<JournalEntry>& entries);
    // A passing message for the operator (a start number that two rows carry).
    void Notice(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void cbStartNKeyUp();
    void cbStartNChange();
    void cbStartNEnter();
    void cbStopNChange();
    void cbStopNEnter();
    void TakeNextPredicted();
    // START in mass start: every start number becomes a choice of the finish-number box.
    void FillStopListForMassStart();
    // The moment of the event being handled: the captured one of an impulse, the time of
    // the key press or click, else read now.
    Moment EventMoment();
    void SetEnabled(TBitBtnWithColor* button, QAction* action, bool enabled, const QColor& color);
    QString EventSource() const;
    void Journalize(JournalEntry entry, const Moment& at);

    RunControls c;
    Clock& m_clock;
    const TSettings& m_settings;
    SettingsEditor* m_write = nullptr;
    RunState& m_state;
    ProtocolTable& m_protocol;
    FinishTable& m_finish;
    LockOut& m_lockOut;
    RunDisplay& m_display;
    Sound& m_sound;
    Prompts& m_prompts;
    TFDlgYesNo& m_question;
    QString m_startTone;
    QString m_finishTone;
    std::optional<Moment> m_impulse;
    QString m_source;
    std::unique_ptr<InputMoments> m_inputs;
    QString m_momentNote; // why a press was not timed by its event, for its journal entry
};

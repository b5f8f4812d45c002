#pragma once

#include "core/race/JournalEntry.h"
#include "core/settings/TSettings.h"
#include "core/stations/StationEvent.h"

#include <QObject>
#include <QTimer>

#include <memory>

class Clock;
class RaceRecords;
class RunControl;
class StationLink;

// This PC as a timing station (Station 1 start, 2 finish): the start station numbers its
// START, ENDE and PROGRAMMSTART lines as they are journalled and publishes them; the
// finish station applies every START of the start station to its protocol exactly once,
// in order, journals it with origin and sequence, and publishes its result list. Both
// show the link and the clock offset to the other in the status bar; the offset is
// never applied to a time.
class StationControl : public QObject {
    Q_OBJECT
public:
    StationControl(const TSettings& settings, RaceRecords& records, RunControl& run, const Clock& clock,
                   QObject* parent = nullptr);
    ~StationControl() override;

    // Once the window is complete: connects as the settings say.
    void Begin();
    // A changed station, broker or race connects anew.
    void ApplySettings(const TSettings& before);
    // The finish station's result list for every reader (the live results' JSON).
    void PublishResults(const QByteArray& json);

    const StationLink* Link() const { return m_link.get(); }
    const QString& StatusText() const { return m_status; }

signals:
    // The status bar field; empty while the PC is alone.
    void StatusChanged(const QString& text, bool alarm);
    // A message the operator must read: a START that could not be placed, a refused message.
    void Notice(const QString& text);
    // The start station received the finish station's result list.
    void ResultsArrived(const QByteArray& json);

private:
    // Builds the link and rebuilds its memory from the journal, without connecting.
    void EnsureLink();
    void Connect();
    void Stamp(JournalEntry& entry);
    void Published(const QList<JournalEntry>& entries);
    void Apply(const StationEvent& event);
    void Refuse(const QString& why, const QString& topic, const QByteArray& payload);
    void JournalOffset();
    void ShowStatus();
    bool LinkSettingsChanged(const TSettings& before) const;

    const TSettings& m_settings;
    RaceRecords& m_records;
    RunControl& m_run;
    const Clock& m_clock;
    QString m_status;
    bool m_alarm = false;
    bool m_statusShown = false;
    QString m_error;
    std::unique_ptr<StationLink> m_link;
    bool m_begun = false;
    QTimer m_statusTimer; // "last event ... ago" and an offset journalled now and then
    qint64 m_journalledOffset = 0;
    qint64 m_offsetJournalledAt = 0;
    bool m_offsetJournalled = false;
};

#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

// The roles a PC can have in a race: alone (no link), the start hut, the finish line.
namespace StationRole {
constexpr int Alone = 0;
constexpr int Start = 1;
constexpr int Finish = 2;
// The name a station of `role` publishes under ("start", "ziel"); empty when alone.
QString Name(int role);
// The role of the station named `name`; nullopt for a name no station has.
std::optional<int> FromName(const QString& name);
} // namespace StationRole

// One journal line of a station as it travels through the broker: what happened at
// which station, its place in that station's sequence, and both clocks of the moment.
struct StationEvent {
    QString race;       // the RaceId both stations share
    QString station;    // where it happened ("start")
    quint64 seq = 0;    // 1, 2, ... in the order the station journalled them
    QString event;      // START, ENDE, PROGRAMMSTART
    quint32 tick = 0;   // the station's own tick: only comparable on that PC
    qint32 clockMs = 0; // local clock of day in ms since midnight
    qint64 utcMs = 0;   // ms since 1970 UTC: the only clock two PCs share
    QString number;     // start number, may be empty (mass start)
    QString source;     // "Taste", "Kontakt COM1", ...

    QByteArray ToJson() const;
    bool operator==(const StationEvent&) const = default;
};

// Reads a message of the events topic; false with the German reason in `why`
// when it is not one (bad JSON, missing or ill-typed field, seq 0).
bool ParseStationEvent(const QByteArray& payload, StationEvent& event, QString& why);

// The acknowledgement the receiver keeps retained: every event of `origin` up to
// `seq` is applied. `hello` is set when the receiver (re)connected, asking for the rest.
struct StationAck {
    QString race;
    QString station; // who acknowledges
    QString origin;  // whose events
    quint64 seq = 0;
    bool hello = false;

    QByteArray ToJson() const;
};
bool ParseStationAck(const QByteArray& payload, StationAck& ack);

// Four-timestamp clock exchange: a ping carries t1 (the asker's send time); the answer
// adds t2 and t3 (the answerer's receive and send times); t4 is read when it arrives.
struct ClockPing {
    QString race;
    QString from; // the asker
    QString to;   // set in an answer: the asker it answers
    qint64 t1 = 0, t2 = 0, t3 = 0;

    QByteArray ToJson() const;
};
bool ParseClockPing(const QByteArray& payload, ClockPing& ping);

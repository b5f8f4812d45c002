#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

// The one record of persistent settings. Field names are the names of the
// stored values; colours are kept as stored, 0x00BBGGRR.
struct TSettings {
    qint32 Port = 0;            // serial port n of "COMn"; 0 = no port
    qint32 Alg = 0;             // contact logic: 0 "Ein", 1 "Aus"; negative disables the port choice
    std::optional<qint32> Left; // window position; none lets the platform choose
    std::optional<qint32> Top;
    qint32 Width = 890;
    qint32 Height = 603;
    bool Sound = true;
    quint32 C1 = 0x000000;   // display background
    quint32 C2 = 0x00FF00;   // lit segments, upper row
    quint32 C3 = 0x404040;   // dimmed leading digits, both rows
    qint32 Acc = 2;          // fraction digits 2, 1 or 0
    quint32 C4 = 0x00FFFF;   // lit segments, lower row
    qint32 FilterInd = 2;    // 1-based entry of the save dialog's type list
    qint32 Timer = 5;        // countdown period in seconds; 0 hides TIMER
    bool cbAuto = false;     // automatic start every Timer seconds
    qint32 XX = 882;         // width of the display strip
    qint32 YY = 283;         // height of the time display area
    qint32 StartType = 0;    // 0 individual start ("Einzeln"), 1 mass start ("Massenstart")
    qint32 Columns = 0xCFF;  // visible protocol columns, bit k = column k
    bool Klass = false;      // class places in use
    qint32 FilterOut = 1;    // 1-based entry of the open dialog's type list
    qint32 WaitStart = 4000; // start lock-out, ms
    QString Title = QStringLiteral("Wettkampftitel");
    qint32 WaitFinish = 200; // finish lock-out, ms
    QString RezervDir;       // backup folder; empty = the program folder
    qint32 FormatZeit = 0;   // upper display row: 0 clock of day, 1 time since the first start
    bool AutoSort = false;   // rank the protocol after each change
    qint32 Debounce = 2;     // quiet time of the contact lines, ms (0 to 50): a shorter pulse is noise
    qint32 WebPort = 0;      // port of the live results web server: 0 off, else 1024 to 65535
    QString WebBind;         // address the web server listens on; empty = every address of the computer
    QString PublishDir;      // folder that receives the live result files after every change; empty = off
    QString PortPath;        // the adapter's stable name (/dev/serial/by-id/...); empty = the device of Port
    qint32 Station = 0;      // timing station: 0 alone, 1 start station, 2 finish station
    QString Broker;          // the MQTT broker, "host:port"
    QString RaceId = QStringLiteral("rennen"); // topic prefix kadenzor/<RaceId>/: stations of one race
    QString BrokerUser;
    QString BrokerPassword; // set: the settings file is readable by its owner only
    bool BrokerTls = false; // TLS with the system's CA certificates

    static constexpr qint32 kForcedColumns = 0x403; // "Platz", "St.Nr." and "Zeit" are always shown
    static constexpr qint32 kWebPortMin = 1024;     // below are the system's ports

    bool massStart() const { return StartType == 1; }
    bool operator==(const TSettings&) const = default;
};

#pragma once

#include "core/live/HttpLimits.h"
#include "core/live/Snapshot.h"
#include "core/live/SnapshotSlot.h"
#include "core/platform/Clock.h"
#include "core/race/RunState.h"
#include "core/settings/TSettings.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class SortGridData;
class LiveServerThread;
class PublishFolder;

// Live results on the local network and in a folder. Watches the protocol grid,
// publishes a snapshot shortly after each change (never within a handler of the
// timing), and runs the web server and the folder writer as the settings say.
class LiveResults : public QObject {
    Q_OBJECT
public:
    LiveResults(const SortGridData& protocol, const TSettings& settings, const RunState& state, const Clock& clock,
                const HttpLimits& limits = HttpLimits(), QObject* parent = nullptr);
    ~LiveResults() override;

    // Once the window is complete: starts what the settings in force ask for.
    void Begin();
    // After a settings change: server and folder follow WebPort, WebBind and PublishDir.
    void ApplySettings(const TSettings& before);
    // Something the readers see may have changed (grid, run state, settings).
    void Changed();
    // The protocol grid's column widths (negative = hidden), after each layout of its columns.
    void SetColumnWidths(const QList<int>& widths);
    // Takes a snapshot now and publishes it when its content differs from the last one.
    void PublishNow();

    std::shared_ptr<const Snapshot> Current() const { return m_slot.Current(); }
    // The port the server listens on; 0 while it does not.
    quint16 ServerPort() const { return m_port; }
    const QString& StatusText() const { return m_statusText; }
    int ConnectionCount() const;
    // Of these, the pages listening for changes.
    int StreamCount() const;
    // The address the status bar shows for a server on `bind` and `port`.
    static QString AddressText(const QString& bind, quint16 port);

signals:
    void published(quint64 version);
    void serverChanged(); // listening, stopped or failed
    // What the operator should see about the live results: the address to type in, or
    // what went wrong (`alarm`). Empty when they are off.
    void StatusChanged(const QString& text, bool alarm);

private:
    bool Active() const;
    void StartServer();
    void StopServer();
    void ShowStatus();

    const SortGridData& m_protocol;
    const TSettings& m_settings;
    const RunState& m_state;
    const Clock& m_clock;
    QList<int> m_colWidths;
    HttpLimits m_limits;
    QTimer m_soon;
    QTimer m_retry;      // a port that was taken is tried again
    SnapshotSlot m_slot; // before the server, which reads it until it is gone
    std::unique_ptr<LiveServerThread> m_server;
    std::unique_ptr<PublishFolder> m_folder;
    quint16 m_port = 0;
    QString m_serverText;
    bool m_serverAlarm = false;
    QString m_folderError;
    QString m_statusText;
};

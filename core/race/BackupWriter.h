#pragma once

#include "core/grid/GridCopy.h"
#include "core/race/Backups.h"
#include "core/race/RunState.h"

#include <QString>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// Writes the two table backups and the run state on its own thread, from copies, so
// that no start or finish waits for the disk. The journal has put every change on
// the disk already; the backups are always the latest state: a state handed over
// while an older one is being written replaces any that still waits (coalesced).
class BackupWriter {
public:
    struct State {
        Backups files; // the folder they go to
        GridCopy protocol;
        GridCopy finish;
        RunState run;
    };
    struct Result {
        quint64 serial = 0; // of the state written
        bool ok = true;
        QString error; // German, for the status bar
    };

    // `written` runs on the writer's thread after every write.
    explicit BackupWriter(std::function<void(const Result&)> written);
    ~BackupWriter(); // writes what waits, then ends the thread
    BackupWriter(const BackupWriter&) = delete;
    BackupWriter& operator=(const BackupWriter&) = delete;

    // Hands over the latest state; returns its serial number.
    quint64 Submit(State state);
    // Waits until every state handed over is on the disk; the result of the last write.
    Result Flush();

private:
    void Run();
    static Result Write(const State& state, quint64 serial);

    std::function<void(const Result&)> m_written;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::unique_ptr<State> m_waiting;
    quint64 m_submitted = 0;
    quint64 m_finished = 0;
    Result m_last;
    bool m_stopping = false;
    std::thread m_thread; // last: starts when everything above is ready
};

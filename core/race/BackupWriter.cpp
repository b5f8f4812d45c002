#include "core/race/BackupWriter.h"

BackupWriter::BackupWriter(std::function<void(const Result&)> written)
    : m_written(std::move(written)), m_thread([this] { Run(); }) {}

BackupWriter::~BackupWriter() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

quint64 BackupWriter::Submit(State state) {
    quint64 serial = 0;
    {
        const std::lock_guard lock(m_mutex);
        m_waiting = std::make_unique<State>(std::move(state));
        serial = ++m_submitted;
    }
    m_wake.notify_one();
    return serial;
}

BackupWriter::Result BackupWriter::Flush() {
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [this] { return m_finished == m_submitted; });
    return m_last;
}

void BackupWriter::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_waiting || m_stopping; });
        if (!m_waiting)
            return; // stopping, and nothing is left to write
        const std::unique_ptr<State> state = std::move(m_waiting);
        const quint64 serial = m_submitted;
        lock.unlock();
        const Result result = Write(*state, serial);
        if (m_written)
            m_written(result);
        lock.lock();
        m_last = result;
        // States handed over meanwhile wait in m_waiting; this one was the latest until then.
        m_finished = m_waiting ? serial : m_submitted;
        if (m_finished == m_submitted)
            m_done.notify_all();
    }
}

BackupWriter::Result BackupWriter::Write(const State& state, quint64 serial) {
    Result result;
    result.serial = serial;
    QString error;
    const bool tables = state.files.WriteBackups(state.protocol, state.finish, error);
    QString runError;
    const bool run = state.files.WriteRunState(state.run, runError);
    result.ok = tables && run;
    result.error = !tables ? error : runError;
    return result;
}

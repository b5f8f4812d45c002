#include "core/live/PublishFolder.h"

#include "core/base/ThreadPriority.h"
#include "core/files/ExportOptions.h"
#include "core/files/HtmlList.h"
#include "core/grid/SortGridData.h"
#include "core/live/LivePages.h"

#include <QDir>

namespace {

int ColumnCount(const Snapshot& s) {
    int cols = 1;
    for (const QStringList& row : s.cells)
        cols = std::max(cols, static_cast<int>(row.size()));
    return cols;
}

// The snapshot's cells as a grid, for the HTML list writer.
struct SnapshotGrid : SortGridData {
    explicit SnapshotGrid(const Snapshot& s) : SortGridData(ColumnCount(s), std::max(1, s.RowCount())) {
        for (int r = 0; r < s.RowCount(); ++r)
            SetRows(r, s.cells[static_cast<size_t>(r)]);
    }
};

QString WriteFiles(const Snapshot& s, const QString& folder) {
    const QDir dir(folder);
    QString error;
    ExportOptions options;
    options.title = s.title;
    options.colWidths = s.colWidths;
    if (!WriteHtmlList(SnapshotGrid(s), options, dir.filePath(PublishFolder::HtmlName()), &error))
        return error;
    if (!WriteFileAtomically(dir.filePath(PublishFolder::JsonName()), ResultsJson(s), &error))
        return error;
    return QString();
}

} // namespace

PublishFolder::PublishFolder(int intervalMs, QObject* parent) : QObject(parent), m_intervalMs(intervalMs) {
    m_delay.setSingleShot(true);
    connect(&m_delay, &QTimer::timeout, this, [this] {
        if (m_waiting)
            Hand(std::exchange(m_waiting, nullptr));
    });
    m_writer = std::thread([this] { Run(); });
}

PublishFolder::~PublishFolder() {
    m_delay.stop();
    // The last change is written even when the program ends within the interval.
    if (m_waiting)
        Hand(std::exchange(m_waiting, nullptr));
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_one();
    m_writer.join();
}

void PublishFolder::SetFolder(const QString& folder) {
    m_folder = folder;
    if (m_folder.isEmpty()) {
        m_delay.stop();
        m_waiting.reset();
    }
}

void PublishFolder::Offer(std::shared_ptr<const Snapshot> snapshot) {
    if (m_folder.isEmpty() || !snapshot)
        return;
    if (!m_lastHand.isValid() || m_lastHand.elapsed() >= m_intervalMs) {
        m_delay.stop();
        m_waiting.reset();
        Hand(std::move(snapshot));
        return;
    }
    m_waiting = std::move(snapshot);
    if (!m_delay.isActive())
        m_delay.start(static_cast<int>(std::max<qint64>(0, m_intervalMs - m_lastHand.elapsed())));
}

void PublishFolder::Hand(std::shared_ptr<const Snapshot> snapshot) {
    m_lastHand.start();
    {
        std::lock_guard lock(m_mutex);
        // A state still waiting for the writer is replaced: only the newest matters.
        m_next = std::move(snapshot);
        m_nextFolder = m_folder;
    }
    m_wake.notify_one();
}

void PublishFolder::Run() {
    LowerThisThreadsPriority();
    for (;;) {
        std::shared_ptr<const Snapshot> snapshot;
        QString folder;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || m_next; });
            if (!m_next)
                return; // stopping with nothing left to write
            snapshot = std::move(m_next);
            m_next.reset();
            folder = m_nextFolder;
        }
        const QString error = WriteFiles(*snapshot, folder);
        emit written(error);
    }
}

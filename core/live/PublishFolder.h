#pragma once

#include "core/live/Snapshot.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

// Writes the HTML result list (as the export writes it) and results.json into a
// folder after every change, at most once per second and the last change always,
// each file replaced atomically. The writing runs in its own thread, so a slow
// stick or network folder never holds up the window.
class PublishFolder : public QObject {
    Q_OBJECT
public:
    // The names of the files in the folder.
    static QString HtmlName() { return QStringLiteral("results.html"); }
    static QString JsonName() { return QStringLiteral("results.json"); }

    explicit PublishFolder(int intervalMs = 1000, QObject* parent = nullptr);
    // Writes what is still waiting, then joins the writer.
    ~PublishFolder() override;

    // `folder` empty: nothing is written any more.
    void SetFolder(const QString& folder);
    const QString& Folder() const { return m_folder; }
    // A new state to write; written now, or when the interval since the last write is over.
    void Offer(std::shared_ptr<const Snapshot> snapshot);

signals:
    // From the writer: empty after a good write, else the reason of the failure.
    void written(const QString& error);

private:
    void Hand(std::shared_ptr<const Snapshot> snapshot);
    void Run();

    int m_intervalMs;
    QString m_folder;
    QTimer m_delay;
    QElapsedTimer m_lastHand;
    std::shared_ptr<const Snapshot> m_waiting; // offered within the interval

    // Shared with the writer thread; only the pointer and folder are guarded.
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::shared_ptr<const Snapshot> m_next;
    QString m_nextFolder;
    bool m_stop = false;
    std::thread m_writer;
};

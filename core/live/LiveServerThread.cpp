#include "core/live/LiveServerThread.h"

#include "core/live/LiveHttpServer.h"

#include <sys/resource.h>
#include <unistd.h>

namespace {

// The lowest ordinary priority, not SCHED_IDLE: where the window wants the processor it
// gets nearly all of it, but a busy machine (a browser showing /clock on this laptop,
// a backup running) never starves the spectators' pages altogether.
void NiceThisThread() {
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
}

} // namespace

LiveServerThread::LiveServerThread(const SnapshotSlot& slot, const HttpLimits& limits, QObject* parent)
    : QObject(parent) {
    m_thread.setObjectName(QStringLiteral("LiveServer"));
    m_server = new LiveHttpServer(slot, limits);
    m_server->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_server, &QObject::deleteLater);
    connect(m_server, &LiveHttpServer::listening, this, &LiveServerThread::listening);
    connect(m_server, &LiveHttpServer::failed, this, &LiveServerThread::failed);
    m_thread.start();
    // Where the window and the server both want the processor, the window goes first.
    QMetaObject::invokeMethod(
        m_server, [] { NiceThisThread(); }, Qt::QueuedConnection);
}

LiveServerThread::~LiveServerThread() {
    m_thread.quit();
    m_thread.wait();
}

void LiveServerThread::Start(const QHostAddress& address, quint16 port) {
    LiveHttpServer* server = m_server;
    QMetaObject::invokeMethod(
        server, [server, address, port] { server->Listen(address, port); }, Qt::QueuedConnection);
}

void LiveServerThread::Stop() {
    LiveHttpServer* server = m_server;
    QMetaObject::invokeMethod(
        server, [server] { server->Close(); }, Qt::QueuedConnection);
}

void LiveServerThread::Published() {
    LiveHttpServer* server = m_server;
    QMetaObject::invokeMethod(
        server, [server] { server->Published(); }, Qt::QueuedConnection);
}

int LiveServerThread::StreamCount() const {
    return m_server->StreamCount();
}

int LiveServerThread::ConnectionCount() const {
    return m_server->ConnectionCount();
}

#include "core/live/LiveResults.h"

#include "core/grid/SortGridData.h"
#include "core/live/LiveServerThread.h"
#include "core/live/PublishFolder.h"
#include "core/live/SnapshotBuilder.h"

#include <QHostAddress>
#include <QNetworkInterface>

namespace {
// Changes within this time (a ranking, a row and its neighbours) make one snapshot.
constexpr int kCoalesceMs = 50;
} // namespace

LiveResults::LiveResults(const SortGridData& protocol, const TSettings& settings, const RunState& state,
                         const Clock& clock, const HttpLimits& limits, QObject* parent)
    : QObject(parent), m_protocol(protocol), m_settings(settings), m_state(state), m_clock(clock), m_limits(limits) {
    m_soon.setSingleShot(true);
    m_soon.setInterval(kCoalesceMs);
    connect(&m_soon, &QTimer::timeout, this, &LiveResults::PublishNow);
    m_retry.setSingleShot(true);
    m_retry.setInterval(m_limits.retryMs);
    connect(&m_retry, &QTimer::timeout, this, [this] {
        if (m_settings.WebPort == 0 || m_port != 0)
            return;
        StopServer();
        StartServer();
        ShowStatus();
    });
}

LiveResults::~LiveResults() {
    m_soon.stop();
    m_retry.stop();
    m_server.reset();
    m_folder.reset();
}

void LiveResults::Begin() {
    TSettings off = m_settings;
    off.WebPort = 0;
    off.PublishDir.clear();
    ApplySettings(off);
}

bool LiveResults::Active() const {
    // A finish station publishes its results to the broker, also without server or folder.
    return m_server || m_folder || m_settings.Station == 2;
}

void LiveResults::ApplySettings(const TSettings& before) {
    if (m_settings.WebPort != before.WebPort || m_settings.WebBind != before.WebBind) {
        StopServer();
        if (m_settings.WebPort != 0)
            StartServer();
    }
    if (m_settings.PublishDir != before.PublishDir) {
        m_folderError.clear();
        if (m_settings.PublishDir.isEmpty()) {
            m_folder.reset();
        } else {
            if (!m_folder) {
                m_folder = std::make_unique<PublishFolder>();
                connect(m_folder.get(), &PublishFolder::written, this, [this](const QString& error) {
                    if (error == m_folderError)
                        return;
                    m_folderError = error;
                    ShowStatus();
                });
            }
            m_folder->SetFolder(m_settings.PublishDir);
            // The folder gets the list at once, not only after the next change.
            if (const auto current = m_slot.Current())
                m_folder->Offer(current);
        }
    }
    ShowStatus();
    Changed();
}

void LiveResults::StartServer() {
    QHostAddress address(QHostAddress::Any);
    const QString bind = m_settings.WebBind.trimmed();
    if (!bind.isEmpty() && !address.setAddress(bind)) {
        m_serverText = QStringLiteral("Live-Ergebnisse aus: Adresse \u201E%1\u201C ungültig").arg(bind);
        m_serverAlarm = true;
        return;
    }
    m_server = std::make_unique<LiveServerThread>(m_slot, m_limits);
    const quint16 wanted = static_cast<quint16>(m_settings.WebPort);
    connect(m_server.get(), &LiveServerThread::listening, this, [this, bind](quint16 port) {
        m_port = port;
        m_serverText = AddressText(bind, port);
        m_serverAlarm = false;
        ShowStatus();
        emit serverChanged();
    });
    connect(m_server.get(), &LiveServerThread::failed, this, [this, wanted, bind](int error, const QString& reason) {
        m_port = 0;
        m_serverAlarm = true;
        switch (error) {
        case QAbstractSocket::AddressInUseError:
            m_serverText = QStringLiteral("Live-Ergebnisse aus: Port %1 ist belegt").arg(wanted);
            // Tried again now and then: the other program may end.
            m_retry.start();
            break;
        case QAbstractSocket::SocketAddressNotAvailableError:
            m_serverText = QStringLiteral("Live-Ergebnisse aus: Adresse %1 gibt es auf diesem Rechner nicht").arg(bind);
            break;
        case QAbstractSocket::SocketAccessError:
            m_serverText = QStringLiteral("Live-Ergebnisse aus: Port %1 nicht erlaubt").arg(wanted);
            break;
        default:
            m_serverText = QStringLiteral("Live-Ergebnisse aus: %1").arg(reason);
        }
        // Not within its own signal: the handle goes once this call has returned.
        QTimer::singleShot(0, this, [this] {
            if (m_port == 0 && m_serverAlarm)
                m_server.reset();
        });
        ShowStatus();
        emit serverChanged();
    });
    m_serverText = QStringLiteral("Live-Ergebnisse starten …");
    m_serverAlarm = false;
    m_server->Start(address, wanted);
}

void LiveResults::StopServer() {
    const bool had = m_server || !m_serverText.isEmpty();
    m_retry.stop();
    m_server.reset();
    m_port = 0;
    m_serverText.clear();
    m_serverAlarm = false;
    if (had)
        emit serverChanged();
}

int LiveResults::ConnectionCount() const {
    return m_server ? m_server->ConnectionCount() : 0;
}

int LiveResults::StreamCount() const {
    return m_server ? m_server->StreamCount() : 0;
}

void LiveResults::ShowStatus() {
    QStringList parts;
    if (!m_serverText.isEmpty())
        parts << m_serverText;
    if (!m_folderError.isEmpty())
        parts << QStringLiteral("Veröffentlichung fehlgeschlagen: ") + m_folderError.section(QLatin1Char('\n'), 0, 0);
    m_statusText = parts.join(QStringLiteral(" · "));
    emit StatusChanged(m_statusText, m_serverAlarm || !m_folderError.isEmpty());
}

QString LiveResults::AddressText(const QString& bind, quint16 port) {
    QString host = bind.trimmed();
    QHostAddress any;
    if (host.isEmpty() || (any.setAddress(host) && (any == QHostAddress::AnyIPv4 || any == QHostAddress::AnyIPv6 ||
                                                    any == QHostAddress::Any))) {
        // Every address: the one a phone on the same network reaches.
        host = QStringLiteral("127.0.0.1");
        for (const QNetworkInterface& net : QNetworkInterface::allInterfaces()) {
            const auto flags = net.flags();
            if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning) ||
                (flags & QNetworkInterface::IsLoopBack))
                continue;
            bool found = false;
            for (const QNetworkAddressEntry& entry : net.addressEntries()) {
                if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
                    host = entry.ip().toString();
                    found = true;
                    break;
                }
            }
            if (found)
                break;
        }
    } else if (host.contains(QLatin1Char(':'))) {
        host = QLatin1Char('[') + host + QLatin1Char(']');
    }
    return QStringLiteral("http://%1:%2/").arg(host).arg(port);
}

void LiveResults::SetColumnWidths(const QList<int>& widths) {
    if (widths == m_colWidths)
        return;
    m_colWidths = widths;
    Changed();
}

void LiveResults::Changed() {
    if (!Active() || m_soon.isActive())
        return;
    m_soon.start();
}

void LiveResults::PublishNow() {
    m_soon.stop();
    if (!Active())
        return;
    SnapshotInputs in;
    in.title = m_settings.Title;
    in.running = m_state.Started();
    in.classes = m_settings.Klass;
    const Moment now = m_clock.moment();
    in.now = QDateTime(m_clock.now().date(), now.clock);
    if (m_state.runStart)
        in.raceMs = TickDiff(now.tick, *m_state.runStart);
    in.colWidths = m_colWidths;
    const std::shared_ptr<const Snapshot> previous = m_slot.Current();
    std::shared_ptr<Snapshot> next = TakeSnapshot(m_protocol, in, previous.get());
    if (previous && SameContent(*previous, *next))
        return;
    m_slot.Publish(next);
    if (m_server)
        m_server->Published();
    if (m_folder)
        m_folder->Offer(next);
    emit published(next->version);
}

#include "core/stations/MqttClient.h"

#include <mosquitto.h>

#include <mutex>

namespace {
void InitLibrary() {
    // mosquitto_lib_init is not thread safe; the library stays up until the program ends.
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

QString Reason(int rc) {
    return QString::fromUtf8(mosquitto_strerror(rc));
}
} // namespace

MqttClient::MqttClient(Options options, MessageFn onMessage, StateFn onState)
    : m_options(std::move(options)), m_onMessage(std::move(onMessage)), m_onState(std::move(onState)) {
    InitLibrary();
    const QByteArray id = m_options.clientId.toUtf8();
    // A clean session: nothing depends on what the broker keeps for us.
    m_mosq = mosquitto_new(id.isEmpty() ? nullptr : id.constData(), true, this);
    if (!m_mosq)
        return;
    mosquitto_int_option(m_mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(m_mosq, &MqttClient::OnConnect);
    mosquitto_disconnect_callback_set(m_mosq, &MqttClient::OnDisconnect);
    mosquitto_message_callback_set(m_mosq, &MqttClient::OnMessage);
    // A broker that went away is tried again every second or two, not backed off for minutes.
    mosquitto_reconnect_delay_set(m_mosq, 1, 2, false);
}

MqttClient::~MqttClient() {
    if (!m_mosq)
        return;
    if (m_looping) {
        // The disconnect ends the loop, and the loop thread is joined, not cancelled: a
        // thread cancelled while it reads a message leaves that message allocated.
        mosquitto_disconnect(m_mosq);
        mosquitto_loop_stop(m_mosq, false);
    }
    mosquitto_destroy(m_mosq);
}

bool MqttClient::Start(QString& error) {
    if (!m_mosq) {
        error = QStringLiteral("MQTT-Verbindung lässt sich nicht anlegen");
        return false;
    }
    if (!m_options.user.isEmpty()) {
        const QByteArray user = m_options.user.toUtf8();
        const QByteArray password = m_options.password.toUtf8();
        mosquitto_username_pw_set(m_mosq, user.constData(), password.isEmpty() ? nullptr : password.constData());
    }
    if (m_options.tls) {
        const int rc = mosquitto_tls_set(m_mosq, nullptr, "/etc/ssl/certs", nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            error = QStringLiteral("TLS lässt sich nicht einrichten: %1").arg(Reason(rc));
            return false;
        }
    }
    if (!m_options.willTopic.isEmpty()) {
        const QByteArray topic = m_options.willTopic.toUtf8();
        mosquitto_will_set(m_mosq, topic.constData(), static_cast<int>(m_options.willPayload.size()),
                           m_options.willPayload.constData(), 1, true);
    }
    const QByteArray host = m_options.host.toUtf8();
    const int rc = mosquitto_connect_async(m_mosq, host.constData(), m_options.port, m_options.keepAliveSeconds);
    // A broker that is not up yet is no reason to give up: the loop keeps trying.
    if (rc != MOSQ_ERR_SUCCESS && rc != MOSQ_ERR_ERRNO) {
        error = QStringLiteral("Broker %1:%2: %3").arg(m_options.host).arg(m_options.port).arg(Reason(rc));
        return false;
    }
    const int loop = mosquitto_loop_start(m_mosq);
    if (loop != MOSQ_ERR_SUCCESS) {
        error = QStringLiteral("MQTT-Thread lässt sich nicht starten: %1").arg(Reason(loop));
        return false;
    }
    m_looping = true;
    return true;
}

bool MqttClient::Subscribe(const QString& topic, int qos) {
    const QByteArray t = topic.toUtf8();
    return m_mosq && mosquitto_subscribe(m_mosq, nullptr, t.constData(), qos) == MOSQ_ERR_SUCCESS;
}

bool MqttClient::Publish(const QString& topic, const QByteArray& payload, int qos, bool retain) {
    const QByteArray t = topic.toUtf8();
    return m_mosq && mosquitto_publish(m_mosq, nullptr, t.constData(), static_cast<int>(payload.size()),
                                       payload.constData(), qos, retain) == MOSQ_ERR_SUCCESS;
}

void MqttClient::OnConnect(mosquitto*, void* self, int rc) {
    auto* client = static_cast<MqttClient*>(self);
    client->m_onState(rc == 0, rc == 0 ? QString() : QString::fromUtf8(mosquitto_connack_string(rc)));
}

void MqttClient::OnDisconnect(mosquitto*, void* self, int rc) {
    auto* client = static_cast<MqttClient*>(self);
    client->m_onState(false, rc == 0 ? QString() : QStringLiteral("Verbindung verloren"));
}

void MqttClient::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* client = static_cast<MqttClient*>(self);
    const QByteArray payload(static_cast<const char*>(message->payload), message->payloadlen);
    client->m_onMessage(QString::fromUtf8(message->topic), payload, message->retain);
}

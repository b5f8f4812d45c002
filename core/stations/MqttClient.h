#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

struct mosquitto;
struct mosquitto_message;

// A libmosquitto client whose network loop runs in a thread of its own; it connects
// and reconnects by itself. The callbacks run in that thread: they must only capture
// and post (a queued call), never touch the window's state.
class MqttClient {
public:
    struct Options {
        QString host;
        quint16 port = 1883;
        QString user;
        QString password;
        bool tls = false; // with the system's CA certificates
        QString clientId;
        QString willTopic; // retained `willPayload` when the link dies without a goodbye
        QByteArray willPayload;
        int keepAliveSeconds = 5; // a dead link is seen within about 1.5 times this
    };
    using MessageFn = std::function<void(const QString& topic, const QByteArray& payload, bool retained)>;
    using StateFn = std::function<void(bool connected, const QString& why)>;

    MqttClient(Options options, MessageFn onMessage, StateFn onState);
    ~MqttClient(); // stops and joins the network thread before anything goes
    MqttClient(const MqttClient&) = delete;
    MqttClient& operator=(const MqttClient&) = delete;

    // Starts connecting; false with the German reason when it cannot even try.
    bool Start(QString& error);
    bool Subscribe(const QString& topic, int qos);
    bool Publish(const QString& topic, const QByteArray& payload, int qos, bool retain);

private:
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);

    Options m_options;
    MessageFn m_onMessage;
    StateFn m_onState;
    mosquitto* m_mosq = nullptr;
    bool m_looping = false;
};

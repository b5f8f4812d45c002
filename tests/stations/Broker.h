#pragma once

// A mosquitto of the test's own: its configuration and persistence in a temporary
// folder, listening on a free port of 127.0.0.1 only, killed and started again at will.

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <unistd.h>

class Broker {
public:
    Broker() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        m_port = probe.serverPort();
        probe.close();
        QFile conf(m_dir.filePath(QStringLiteral("mosquitto.conf")));
        conf.open(QIODevice::WriteOnly);
        conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence true\n"
                                  "persistence_location %2/\nautosave_interval 1\nlog_dest none\n%3")
                       .arg(m_port)
                       .arg(m_dir.path())
                       // Started as root it would drop to a user that cannot write the folder.
                       .arg(::getuid() == 0 ? QStringLiteral("user root\n") : QString())
                       .toUtf8());
    }
    ~Broker() { Kill(); }

    static QString Program() {
        const QString found = QStandardPaths::findExecutable(QStringLiteral("mosquitto"), {"/usr/sbin", "/usr/bin"});
        return found;
    }
    quint16 Port() const { return m_port; }

    // Starts the broker and waits (at most 5 s) until it takes connections.
    bool Start() {
        m_process.setProgram(Program());
        m_process.setArguments({QStringLiteral("-c"), m_dir.filePath(QStringLiteral("mosquitto.conf"))});
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return false;
        for (int i = 0; i < 100; ++i) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, m_port);
            if (s.waitForConnected(50))
                return true;
            QThread::msleep(50);
        }
        return false;
    }
    // SIGKILL: no goodbye, no last save.
    void Kill() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

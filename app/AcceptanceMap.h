#pragma once

#include <QObject>
#include <QString>

class QTimer;

// For the acceptance tier, which drives the real program through the window system:
// while KADENZOR_ACCEPTANCE_MAP names a file, a request (FILE.req appearing) makes the
// program write the visible windows, the focused control and every named control's
// global geometry, state and text to FILE, then remove FILE.req. Off when unset.
class AcceptanceMap : public QObject {
    Q_OBJECT
public:
    explicit AcceptanceMap(const QString& fileName, QObject* parent = nullptr);

    bool Active() const { return !m_fileName.isEmpty(); }
    // The map as written: one TAB-separated line per window, control and focus.
    static QByteArray Describe();

private:
    void Poll();

    QString m_fileName;
    QTimer* m_timer = nullptr;
};

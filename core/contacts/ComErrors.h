#pragma once

#include <QString>

#include <stdexcept>

// An error of the serial port; what() holds the operator's text in UTF-8.
class EComError : public std::runtime_error {
public:
    EComError(const QString& text, int error);
    QString Text() const { return QString::fromUtf8(what()); }
    int Error() const { return m_error; }

private:
    int m_error = 0;
};

// The device could not be opened (or is held by another program).
class EComHandle : public EComError {
public:
    explicit EComHandle(int error);
};

// The device refused a step of the line configuration.
class EComState : public EComError {
public:
    explicit EComState(int error);
};

// The system's message for `error` in its current language, with a hint on
// the group dialout for a missing permission.
QString ComErrorMessage(int error);

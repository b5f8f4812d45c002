#include "core/contacts/ComErrors.h"

#include <cerrno>
#include <cstring>

EComError::EComError(const QString& text, int error) : std::runtime_error(text.toStdString()), m_error(error) {}

EComHandle::EComHandle(int error)
    : EComError(QStringLiteral("Unable to open com port: ") + ComErrorMessage(error), error) {}

EComState::EComState(int error)
    : EComError(QStringLiteral("Unable to set com state: ") + ComErrorMessage(error), error) {}

QString ComErrorMessage(int error) {
    char buffer[256] = {};
    // GNU strerror_r: thread-safe, localised, and "Unknown error N" when there is no text.
    const char* text = strerror_r(error, buffer, sizeof buffer);
    QString message = text && *text ? QString::fromLocal8Bit(text) : QString::number(error);
    if (error == EACCES)
        message += QStringLiteral(". Der Benutzer muss Mitglied der Gruppe dialout sein: "
                                  "sudo usermod -aG dialout $USER eingeben, danach ab- und wieder anmelden.");
    return message;
}

#include "app/TFormMain.h"
#include "contacts/PortProbe.h"
#include "platform/Clock.h"
#include "platform/LogindSleepInhibitor.h"
#include "platform/PosixSerialDevices.h"
#include "platform/QtPlatform.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kadenzor"));
    QApplication::setOrganizationName(QStringLiteral("Zeitravo"));

    SystemClock clock;
    QtPrompts prompts;
    QtSound sound;
    QtPrinters printers;
    QtShell shell;
    PosixSerialDevices serial;
    LogindSleepInhibitor sleep;
    Platform platform;
    platform.clock = &clock;
    platform.prompts = &prompts;
    platform.sound = &sound;
    platform.printers = &printers;
    platform.shell = &shell;
    platform.serial = &serial;
    platform.sleep = &sleep;
    platform.programFolder = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    platform.workingFolder = QDir::currentPath() + QLatin1Char('/');

    // Until the settings are stored, the contact port and its logic come from the command line.
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("port"), QStringLiteral("Serial port of the contacts: n or COMn (0: none)."),
                      QStringLiteral("n")});
    parser.addOption(
        {QStringLiteral("alg"), QStringLiteral("Contact logic: 0 \"Ein\", 1 \"Aus\"."), QStringLiteral("n")});
    parser.process(app);
    TSettings settings;
    if (parser.isSet(QStringLiteral("port"))) {
        const QString port = parser.value(QStringLiteral("port"));
        settings.Port = port.startsWith(QStringLiteral("COM"), Qt::CaseInsensitive) ? PortNumberOfName(port.toUpper())
                                                                                    : port.toInt();
    }
    if (parser.isSet(QStringLiteral("alg")))
        settings.Alg = parser.value(QStringLiteral("alg")).toInt();

    TFormMain form(platform, settings);
    form.show();
    // For the smoke test: end the event loop after the given time, as a normal end would.
    bool quitOk = false;
    const int quitAfter = qEnvironmentVariableIntValue("KADENZOR_QUIT_AFTER_MS", &quitOk);
    if (quitOk)
        QTimer::singleShot(quitAfter, &app, [] { QCoreApplication::exit(0); });
    return QApplication::exec();
}

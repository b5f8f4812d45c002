#include "app/TFormMain.h"
#include "platform/Clock.h"
#include "platform/LogindSleepInhibitor.h"
#include "platform/PosixSerialDevices.h"
#include "platform/QtPlatform.h"
#include "protocol/Backups.h"
#include "reports/SettingsStore.h"

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

    // --config DIR keeps the store below DIR instead of $XDG_CONFIG_HOME (tests, a second instance).
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("config"),
                      QStringLiteral("Folder of the settings store Zeitravo/Kadenzor.reg (default: $XDG_CONFIG_HOME)."),
                      QStringLiteral("DIR")});
    parser.process(app);
    const SettingsStore store(SettingsStore::FileNameIn(parser.value(QStringLiteral("config"))));
    platform.settingsFile = store.FileName();
    const TSettings settings = store.Load(DefaultBackupFolder(platform.programFolder));

    TFormMain form(platform, settings);
    form.show();
    // For the smoke test: end the event loop after the given time, as a normal end would.
    bool quitOk = false;
    const int quitAfter = qEnvironmentVariableIntValue("KADENZOR_QUIT_AFTER_MS", &quitOk);
    if (quitOk)
        QTimer::singleShot(quitAfter, &app, [] { QCoreApplication::exit(0); });
    return QApplication::exec();
}

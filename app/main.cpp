#include "app/AcceptanceMap.h"
#include "app/TFormMain.h"
#include "core/platform/Clock.h"
#include "core/platform/PosixSerialDevices.h"
#include "core/platform/SystemClock.h"
#include "core/platform/TermSignals.h"
#include "core/race/Backups.h"
#include "core/settings/SettingsStore.h"
#include "ui/platform/GermanLocale.h"
#include "ui/platform/LogindSleepInhibitor.h"
#include "ui/platform/QtPlatform.h"
#include "ui/widgets/Artwork.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

namespace {

// The folder of tones, pictures, help page and template: beside the program in the
// build, <prefix>/share/kadenzor when installed.
QString ProgramFolder() {
    const QString own = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    const QString shared = QDir::cleanPath(own + QStringLiteral("../share/kadenzor")) + QLatin1Char('/');
    if (!QFileInfo::exists(own + QStringLiteral("Ton-start.wav")) &&
        QFileInfo::exists(shared + QStringLiteral("Ton-start.wav")))
        return shared;
    return own;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // Before the first window: every dialog, date and number is German from the start.
    if (!InstallGermanLocale(app))
        qWarning("Kadenzor: Qt's German translations (qt6-translations-l10n) are missing; Qt's dialogs stay English.");
    // Logout, shutdown and systemctl end the program like a confirmed close, without the
    // question: the window's destructor writes both backups and the settings, then closes
    // the port. Caught from here on, so a signal during start-up ends as cleanly.
    TermSignals term;
    QObject::connect(&term, &TermSignals::Received, &app, [] { QCoreApplication::exit(0); });
    QApplication::setApplicationName(QStringLiteral("Kadenzor"));
    QApplication::setOrganizationName(QStringLiteral("Zeitravo"));
    QApplication::setDesktopFileName(QStringLiteral("kadenzor"));
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128})
        icon.addPixmap(QPixmap::fromImage(Artwork::AppIcon(size)));
    QApplication::setWindowIcon(icon);

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
    platform.inputEventTimes = true;
    platform.programFolder = ProgramFolder();
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
    // An installed program keeps its backups in the user's data folder, never in share/.
    const bool installed = platform.programFolder != QCoreApplication::applicationDirPath() + QLatin1Char('/');
    const TSettings settings = store.Load(DefaultBackupFolder(installed ? QString() : platform.programFolder), nullptr,
                                          &platform.settingsNotice);
    if (!platform.settingsNotice.isEmpty())
        std::fprintf(stderr, "%s\n", platform.settingsNotice.toLocal8Bit().constData());

    // Off unless the acceptance tier asks for the map of the controls; made before the
    // window, so that a question the window asks while it is made can be answered too.
    const AcceptanceMap map(qEnvironmentVariable("KADENZOR_ACCEPTANCE_MAP"));
    TFormMain form(platform, settings);
    form.show();
    // For the smoke test: end the event loop after the given time, as a normal end would.
    bool quitOk = false;
    const int quitAfter = qEnvironmentVariableIntValue("KADENZOR_QUIT_AFTER_MS", &quitOk);
    if (quitOk)
        QTimer::singleShot(quitAfter, &app, [] { QCoreApplication::exit(0); });
    return QApplication::exec();
}

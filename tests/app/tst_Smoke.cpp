#include "core/settings/SettingsStore.h"

#include <QProcess>
#include <QtTest>

// Starts the real executable offscreen, lets it show its window, and closes it.
class SmokeTest : public QObject {
    Q_OBJECT
private slots:
    void startsAndCloses() {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("KADENZOR_QUIT_AFTER_MS"), QStringLiteral("500"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral(KADENZOR_EXE), {});
        QVERIFY2(process.waitForStarted(10000), qPrintable(process.errorString()));
        QVERIFY2(process.waitForFinished(60000), "Kadenzor did not close");
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        const QByteArray err = process.readAllStandardError();
        QVERIFY2(!err.contains("ERROR: AddressSanitizer") && !err.contains("runtime error"), err.constData());
        // A normal end writes the settings store.
        QVERIFY(QFile::exists(m_dir.path() + QStringLiteral("/Zeitravo/Kadenzor.reg")));
    }

    // The store of the last end comes back, is written again at the end, and keeps
    // what the program does not know.
    void storeBelowConfigFolder() {
        QTemporaryDir config;
        QDir().mkpath(config.path() + QStringLiteral("/Zeitravo"));
        const QString file = config.path() + QStringLiteral("/Zeitravo/Kadenzor.reg");
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Zeitravo\\Kadenzor]\n"
                    "\"Port\"=dword:00000000\n\"Alg\"=dword:00000000\n\"Left\"=dword:00000010\n\"Top\"=dword:"
                    "00000020\n\"Width\"=dword:00000400\n"
                    "\"Notiz\"=\"von Hand\"\n");
        }
        const QByteArray err = Run({QStringLiteral("--config"), config.path()}, 0);
        QVERIFY2(!err.contains("ERROR: AddressSanitizer") && !err.contains("runtime error"), err.constData());
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray text = f.readAll();
        QVERIFY2(
            text.startsWith(
                "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Zeitravo\\Kadenzor]\r\n"),
            text.constData());
        QVERIFY(text.contains("\"Width\"=dword:00000400\r\n"));
        QVERIFY(text.contains("\"Title\"=\"Wettkampftitel\"\r\n"));
        QVERIFY(text.contains("\"Notiz\"=\"von Hand\"\r\n"));
    }

    // SIGTERM (logout, shutdown) ends like a confirmed close, without the question.
    void sigtermWritesBackupsAndSettings() {
        QTemporaryDir config;
        QTemporaryDir backups;
        TSettings s;
        s.RezervDir = backups.path() + QLatin1Char('/');
        const SettingsStore store(SettingsStore::FileNameIn(config.path()));
        QString error;
        QVERIFY2(store.Save(s, error), qPrintable(error));
        QFile file(store.FileName());
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QDateTime old(QDate(2000, 1, 1), QTime(0, 0));
        QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
        file.close();

        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral(KADENZOR_EXE), {QStringLiteral("--config"), config.path()});
        QVERIFY2(process.waitForStarted(10000), qPrintable(process.errorString()));
        // The signal handler is in place before the window journals its start; a busy
        // machine may take seconds to get there.
        const auto started = [&] {
            QFile journal(backups.filePath(QStringLiteral("Kadenzor-Journal.txt")));
            return journal.open(QIODevice::ReadOnly) && journal.readAll().contains("PROGRAMMSTART");
        };
        QTRY_VERIFY_WITH_TIMEOUT(started(), 60000);
        process.terminate(); // SIGTERM
        QVERIFY2(process.waitForFinished(60000), "Kadenzor did not end on SIGTERM");
        const QByteArray err = process.readAllStandardError();
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QVERIFY2(!err.contains("ERROR: AddressSanitizer") && !err.contains("runtime error"), err.constData());
        QVERIFY(QFile::exists(backups.filePath(QStringLiteral("Kadenzor-Sicherungsdatei-P.txt"))));
        QVERIFY(QFile::exists(backups.filePath(QStringLiteral("Kadenzor-Sicherungsdatei-F.txt"))));
        QVERIFY(QFileInfo(store.FileName()).lastModified() > old.addDays(1));
    }

    // The port comes from the store now; the old options are refused.
    void portOptionIsGone() { Run({QStringLiteral("--port"), QStringLiteral("3")}, 1); }

private:
    QByteArray Run(const QStringList& args, int exitCode) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("KADENZOR_QUIT_AFTER_MS"), QStringLiteral("500"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir.path());
        process.start(QStringLiteral(KADENZOR_EXE), args);
        if (!process.waitForStarted(10000) || !process.waitForFinished(60000))
            return QByteArray("did not run");
        const QByteArray err = process.readAllStandardError();
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != exitCode)
            QTest::qFail(
                qPrintable(QStringLiteral("exit code %1: %2").arg(process.exitCode()).arg(QString::fromLocal8Bit(err))),
                __FILE__, __LINE__);
        return err;
    }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(SmokeTest)
#include "tst_Smoke.moc"

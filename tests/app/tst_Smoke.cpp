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
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(SmokeTest)
#include "tst_Smoke.moc"

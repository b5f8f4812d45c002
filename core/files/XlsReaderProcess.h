#pragma once

// One run of the .xls reader program (kadenzor-xls-reader) as a child process,
// started by QProcess (fork and exec: the child runs none of this process's code,
// so threads holding locks here cannot block it). The object owns the child and
// its pipes: destroying it kills a child still running and waits for it.

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

class XlsReaderProcess {
public:
    XlsReaderProcess() = default;
    ~XlsReaderProcess();
    XlsReaderProcess(const XlsReaderProcess&) = delete;
    XlsReaderProcess& operator=(const XlsReaderProcess&) = delete;

    // Runs `program` and collects its standard output. False when it cannot start,
    // runs longer than `timeoutMs`, writes more than `maxBytes`, crashes or exits
    // with another code than 0.
    bool Run(const QString& program, const QStringList& arguments, int timeoutMs, qint64 maxBytes, QByteArray& output);

    // Where the reader program is: beside the running executable, else where the
    // build put it (tests and tools run from their own folders). Empty when neither exists.
    static QString Program();

private:
    void Stop();

    QProcess m_process;
};

#pragma once

#include "core/platform/Platform.h"
#include "core/platform/Printers.h"
#include "core/platform/Prompts.h"
#include "core/platform/Shell.h"
#include "core/platform/SleepInhibitor.h"
#include "core/platform/Sound.h"
#include "support/FakeClock.h"

#include <QDialog>
#include <QList>
#include <QStringList>
#include <functional>

// Answers modal dialogs from a script and records what was asked.
class FakePrompts final : public Prompts {
public:
    // Result codes returned by exec, in order; when empty, DefaultAnswer.
    QList<int> Answers;
    int DefaultAnswer = QDialog::Rejected;
    // Called with the dialog before exec returns (to read its texts or press its buttons).
    std::function<int(QDialog&)> OnExec;
    QList<QDialog*> Shown;
    QStringList Errors;
    QStringList FileNames; // answers of the open, save and folder pickers, in order
    int PickerCalls = 0;

    int exec(QDialog& dialog) override;
    void showError(QWidget*, const QString& text) override { Errors << text; }
    QString openFileName(QWidget*, const QString&, const QStringList&, int&) override { return NextFile(); }
    // What the save dialog was offered, and the entry it answers with (0 keeps the offered one).
    QString SaveDir;
    QString SaveName;
    QStringList SaveFilters;
    int SaveFilterOffered = 0;
    int SaveFilterAnswer = 0;
    QString saveFileName(QWidget*, const QString& dir, const QString& name, const QStringList& filters,
                         int& filterIndex) override {
        SaveDir = dir;
        SaveName = name;
        SaveFilters = filters;
        SaveFilterOffered = filterIndex;
        if (SaveFilterAnswer > 0)
            filterIndex = SaveFilterAnswer;
        return NextFile();
    }
    QString folderName(QWidget*, const QString&) override { return NextFile(); }

private:
    QString NextFile() {
        ++PickerCalls;
        return FileNames.isEmpty() ? QString() : FileNames.takeFirst();
    }
};

class FakeSound final : public Sound {
public:
    QStringList Played;
    QStringList Preloaded;
    void play(const QString& file) override { Played << file; }
    void preload(const QString& file) override { Preloaded << file; }
};

class FakePrinters final : public Printers {
public:
    int Count = 1;
    int count() const override { return Count; }
};

class FakeShell final : public Shell {
public:
    QStringList Opened;
    QStringList Printed; // the files of the print jobs
    PrintJob LastJob;
    void open(const QString& f) override { Opened << f; }
    void print(const PrintJob& job) override {
        Printed << job.file;
        LastJob = job;
    }
};

// A login manager that grants the block, or (Available false) answers with
// Reason; with LidAvailable false it blocks sleep but refuses the lid switch.
class FakeSleepInhibitor final : public SleepInhibitor {
public:
    bool Available = true;
    bool LidAvailable = true;
    QString Reason = QStringLiteral("kein Anmeldedienst");
    int Holds = 0;    // blocks granted
    int Releases = 0; // blocks given up
    void hold(FailureFn onFailure) override {
        if (m_held)
            return;
        if (!Available) {
            if (onFailure)
                onFailure(Reason, false);
            return;
        }
        m_held = true;
        ++Holds;
        if (!LidAvailable && onFailure)
            onFailure(Reason, true);
    }
    void release() override {
        if (m_held)
            ++Releases;
        m_held = false;
    }
    bool held() const override { return m_held; }

private:
    bool m_held = false;
};

// All fakes in one place, wired into a Platform.
struct FakePlatform {
    FakeClock clock;
    FakePrompts prompts;
    FakeSound sound;
    FakePrinters printers;
    FakeShell shell;
    FakeSleepInhibitor sleep;
    Platform platform;

    explicit FakePlatform(const QString& programFolder = QString(), const QString& workingFolder = QString()) {
        platform.clock = &clock;
        platform.prompts = &prompts;
        platform.sound = &sound;
        platform.printers = &printers;
        platform.shell = &shell;
        platform.sleep = &sleep;
        platform.programFolder = programFolder;
        platform.workingFolder = workingFolder;
    }
    FakePlatform(const FakePlatform&) = delete;
    FakePlatform& operator=(const FakePlatform&) = delete;
};

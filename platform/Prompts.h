#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QDialog;
class QPagedPaintDevice;
class QWidget;

// Everything modal that the operator answers: dialogs shown with exec, file
// and folder pickers, error boxes. Tests hand in a scripted fake.
class Prompts {
public:
    virtual ~Prompts() = default;
    // Shows the dialog modally and returns its result code.
    virtual int exec(QDialog& dialog) = 0;
    virtual void showError(QWidget* parent, const QString& text) = 0;
    // `filters` are "Name (*.ext)" entries; `filterIndex` is 1-based in and out.
    // An empty result means the dialog was cancelled.
    virtual QString openFileName(QWidget* parent, const QString& dir, const QStringList& filters, int& filterIndex) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& dir, const QString& name, const QStringList& filters,
                                 int& filterIndex) = 0;
    virtual QString folderName(QWidget* parent, const QString& dir) = 0;
};

class Sound {
public:
    virtual ~Sound() = default;
    // Starts playing the wave file and returns at once.
    virtual void play(const QString& file) = 0;
    // Loads the wave file without playing it, so that its first play is not late.
    virtual void preload(const QString& file) = 0;
};

class Printers {
public:
    virtual ~Printers() = default;
    virtual int count() const = 0;
};

// What the print verb prints: pages painted by the program onto the printer (or
// PDF file) the operator picks in the print dialog.
struct PrintJob {
    QString file;           // the document printed; names the job and the PDF file offered
    bool landscape = false; // the orientation offered first
    // Paints the pages firstPage ... lastPage (from 1; 0: no limit) on the device set up
    // by the dialog; returns the pages painted.
    std::function<int(QPagedPaintDevice& device, int firstPage, int lastPage)> paint;
};

class Shell {
public:
    virtual ~Shell() = default;
    virtual void open(const QString& fileOrUrl) = 0;
    virtual void print(const PrintJob& job) = 0;
};

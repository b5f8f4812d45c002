#pragma once

#include <QString>
#include <QStringList>

class QDialog;
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

#pragma once

#include "core/platform/Printers.h"
#include "core/platform/Prompts.h"
#include "core/platform/Shell.h"
#include "core/platform/Sound.h"

#include <QHash>
#include <QObject>
#include <memory>

class QSoundEffect;

// The real modal calls.
class QtPrompts final : public Prompts {
public:
    int exec(QDialog& dialog) override;
    void showError(QWidget* parent, const QString& text) override;
    QString openFileName(QWidget* parent, const QString& dir, const QStringList& filters, int& filterIndex) override;
    QString saveFileName(QWidget* parent, const QString& dir, const QString& name, const QStringList& filters,
                         int& filterIndex) override;
    QString folderName(QWidget* parent, const QString& dir) override;
};

// Wave playback through Qt Multimedia; one effect per file, loaded once.
class QtSound final : public Sound {
public:
    QtSound();
    ~QtSound() override;
    void play(const QString& file) override;
    void preload(const QString& file) override;

private:
    QSoundEffect* Effect(const QString& file);
    QHash<QString, QSoundEffect*> m_effects;
};

// Counts installed printers; Qt's PDF output always counts as one.
class QtPrinters final : public Printers {
public:
    int count() const override;
};

class QtShell final : public Shell {
public:
    void open(const QString& fileOrUrl) override;
    void print(const PrintJob& job) override;
};

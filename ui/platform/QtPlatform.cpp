#include "ui/platform/QtPlatform.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QSoundEffect>
#include <QThreadPool>
#include <QUrl>

#include <memory>

int QtPrompts::exec(QDialog& dialog) {
    return dialog.exec();
}

void QtPrompts::showError(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, QStringLiteral("Kadenzor"), text);
}

QString QtPrompts::openFileName(QWidget* parent, const QString& dir, const QStringList& filters, int& filterIndex) {
    QString selected = filters.value(filterIndex - 1);
    const QString name =
        QFileDialog::getOpenFileName(parent, QString(), dir, filters.join(QStringLiteral(";;")), &selected);
    if (!name.isEmpty() && filters.contains(selected))
        filterIndex = filters.indexOf(selected) + 1;
    return name;
}

QString QtPrompts::saveFileName(QWidget* parent, const QString& dir, const QString& name, const QStringList& filters,
                                int& filterIndex) {
    QString selected = filters.value(filterIndex - 1);
    const QString result =
        QFileDialog::getSaveFileName(parent, QString(), dir + name, filters.join(QStringLiteral(";;")), &selected);
    if (!result.isEmpty() && filters.contains(selected))
        filterIndex = filters.indexOf(selected) + 1;
    return result;
}

QString QtPrompts::folderName(QWidget* parent, const QString& dir) {
    return QFileDialog::getExistingDirectory(parent, QString(), dir);
}

QtSound::QtSound() = default;

QtSound::~QtSound() {
    qDeleteAll(m_effects);
}

QSoundEffect* QtSound::Effect(const QString& file) {
    QSoundEffect*& effect = m_effects[file];
    if (!effect) {
        effect = new QSoundEffect;
        effect->setSource(QUrl::fromLocalFile(file));
    }
    return effect;
}

void QtSound::play(const QString& file) {
    Effect(file)->play();
}

void QtSound::preload(const QString& file) {
    Effect(file);
}

int QtPrinters::count() const {
    return static_cast<int>(QPrinterInfo::availablePrinterNames().size()) + 1;
}

void QtShell::open(const QString& fileOrUrl) {
    const QUrl url = QFileInfo::exists(fileOrUrl) ? QUrl::fromLocalFile(fileOrUrl) : QUrl(fileOrUrl);
    QDesktopServices::openUrl(url);
}

void QtShell::print(const PrintJob& job) {
    if (!job.paint)
        return;
    const QFileInfo info(job.file);
    auto owned = std::make_shared<QPrinter>(QPrinter::HighResolution);
    QPrinter& printer = *owned;
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(job.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    printer.setDocName(job.title.isEmpty() ? info.completeBaseName() : job.title);
    // Without an installed printer the dialog offers the PDF file, named after the document.
    if (QPrinterInfo::availablePrinterNames().isEmpty())
        printer.setOutputFileName(info.absolutePath() + QLatin1Char('/') + info.completeBaseName() +
                                  QStringLiteral(".pdf"));
    QPrintDialog dialog(&printer);
    dialog.setWindowTitle(QStringLiteral("Drucken"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    // The pages the operator chose in the dialog, or all, painted on a worker thread from
    // the job's own copy of the list: the window goes on taking impulses meanwhile. The
    // application waits for the pool before it ends.
    const bool range = printer.printRange() == QPrinter::PageRange;
    const int first = range ? printer.fromPage() : 0;
    const int last = range ? printer.toPage() : 0;
    QThreadPool::globalInstance()->start([owned, paint = job.paint, first, last] { paint(*owned, first, last); });
}

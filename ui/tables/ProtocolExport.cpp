#include "ui/tables/ProtocolExport.h"

#include "core/base/TimeText.h"
#include "core/files/ExcelWorkbook.h"
#include "core/files/ExportNames.h"
#include "core/files/GridTextFile.h"
#include "core/files/HtmlList.h"
#include "core/files/WordDocument.h"
#include "core/grid/GridCopy.h"
#include "core/platform/Clock.h"
#include "core/platform/Printers.h"
#include "core/platform/Prompts.h"
#include "core/platform/Shell.h"
#include "core/race/Backups.h"
#include "core/race/Journal.h"
#include "ui/dialogs/ListPages.h"
#include "ui/dialogs/PdfList.h"
#include "ui/platform/ShortcutPriority.h"
#include "ui/widgets/TSortGrid.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <utility>

namespace {

QString WithSlash(QString folder) {
    if (!folder.isEmpty() && !folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

bool WritableFolder(const QString& folder) {
    const QFileInfo info(folder);
    return !folder.isEmpty() && info.isDir() && info.isWritable();
}

// The name as written: an entry's own extension is added when the name lacks it.
QString NameForEntry(const QString& name, ProtocolExport::Entry entry) {
    const QString suffix = QFileInfo(name).suffix().toLower();
    switch (entry) {
    case ProtocolExport::AllFiles:
        return suffix == QLatin1String("txt") || suffix == QLatin1String("xlsx") ? name
                                                                                 : name + QStringLiteral(".xlsx");
    case ProtocolExport::Excel:
        return suffix == QLatin1String("xlsx") ? name : name + QStringLiteral(".xlsx");
    case ProtocolExport::Text:
        return suffix == QLatin1String("txt") ? name : name + QStringLiteral(".txt");
    case ProtocolExport::Word:
        return suffix == QLatin1String("docx") ? name : name + QStringLiteral(".docx");
    case ProtocolExport::WebPage:
        return suffix == QLatin1String("html") || suffix == QLatin1String("htm") ? name
                                                                                 : name + QStringLiteral(".html");
    case ProtocolExport::Pdf:
        return suffix == QLatin1String("pdf") ? name : name + QStringLiteral(".pdf");
    }
    return name;
}

// An export running longer than this shows that it is being written.
constexpr int kProgressMs = 300;

} // namespace

ProtocolExport::ProtocolExport(const ExportControls& controls, const Backups& backups, const TSettings& settings,
                               const Platform& platform, QObject* parent)
    : QObject(parent), c(controls), m_backups(backups), m_settings(settings), m_platform(platform) {
    // One file after the other, in the order asked for.
    m_pool.setMaxThreadCount(1);
    m_eS1 = AddShortcut("eS1", QKeySequence(Qt::CTRL | Qt::Key_S));
    m_eH1 = AddShortcut("eH1", QKeySequence(Qt::CTRL | Qt::Key_H));
    m_Druk1 = AddShortcut("Druk1", QKeySequence(Qt::CTRL | Qt::Key_D));
    m_eW1 = AddShortcut("eW1", QKeySequence(Qt::CTRL | Qt::Key_W));
    m_eE1 = AddShortcut("eE1", QKeySequence(Qt::CTRL | Qt::Key_E));
    // The number boxes keep the focus during a race; their line edits must not swallow
    // Ctrl+E (end of line under X11 key bindings) or any other of these keys.
    new ShortcutPriority(c.window, {m_eS1, m_eH1, m_Druk1, m_eW1, m_eE1}, this);
    connect(m_eS1, &QAction::triggered, this, &ProtocolExport::sbSaveClick);
    connect(c.sbSave, &QAbstractButton::clicked, this, &ProtocolExport::sbSaveClick);
    connect(m_eH1, &QAction::triggered, this, [this] { sbHTMLClick(0); });
    connect(c.sbHTML, &QAbstractButton::clicked, this, [this] { sbHTMLClick(0); });
    connect(m_Druk1, &QAction::triggered, this, [this] { sbHTMLClick(1); });
    connect(c.sbPrint, &QAbstractButton::clicked, this, [this] { sbHTMLClick(1); });
    connect(m_eW1, &QAction::triggered, this, &ProtocolExport::sbWordClick);
    connect(c.sbWord, &QAbstractButton::clicked, this, &ProtocolExport::sbWordClick);
    connect(m_eE1, &QAction::triggered, this, &ProtocolExport::sbExcelClick);
    connect(c.sbExcel, &QAbstractButton::clicked, this, &ProtocolExport::sbExcelClick);
}

QAction* ProtocolExport::AddShortcut(const char* name, const QKeySequence& key) {
    auto* a = new QAction(c.window);
    a->setObjectName(QString::fromLatin1(name));
    a->setShortcut(key);
    a->setShortcutContext(Qt::WindowShortcut);
    c.window->addAction(a);
    return a;
}

QStringList ProtocolExport::SaveFilters() {
    return {QStringLiteral("Alle Dateien (*.txt *.xlsx)"), QStringLiteral("MS Excel (*.xlsx)"),
            QStringLiteral("Textdatei (*.txt)"),           QStringLiteral("MS Word (*.docx)"),
            QStringLiteral("Webseite (*.html)"),           QStringLiteral("PDF (*.pdf)")};
}

void ProtocolExport::UpdateResultCommands() {
    const TSortGrid* g = c.SortGrid1;
    const bool save = g->RowCount() >= 2 && !g->Rows(1).join(QString()).trimmed().isEmpty();
    // Qt's print dialog always offers a PDF file, so printing needs no installed printer.
    const bool print = save && m_platform.printers && m_platform.printers->count() > 0;
    c.sbSave->setEnabled(save);
    m_eS1->setEnabled(save);
    c.sbPrint->setEnabled(print);
    m_Druk1->setEnabled(print);
    // The exports are written by the program itself and need no office program.
    c.sbWord->setEnabled(save);
    m_eW1->setEnabled(save);
    c.sbExcel->setEnabled(save);
    m_eE1->setEnabled(save);
    c.sbHTML->setEnabled(save);
    m_eH1->setEnabled(save);
}

ExportOptions ProtocolExport::Options() const {
    ExportOptions options;
    options.title = m_settings.Title;
    for (int col = 0; col < c.SortGrid1->ColCount(); ++col)
        options.colWidths << c.SortGrid1->ColWidths(col);
    return options;
}

QString ProtocolExport::OutputFolder() const {
    const QString current =
        WithSlash(m_platform.workingFolder.isEmpty() ? QDir::currentPath() : m_platform.workingFolder);
    if (WritableFolder(current) || m_backups.Folder().isEmpty())
        return current;
    return WithSlash(m_backups.Folder());
}

QString ProtocolExport::TemplateFile() const {
    return m_platform.programFolder + QString::fromLatin1(kProgramTitle) + QStringLiteral(".docx");
}

void ProtocolExport::Written(const QString& fileName) {
    emit StatusText(QStringLiteral("Gespeichert: ") + QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath()));
}

void ProtocolExport::Failed(const QString& error) {
    m_platform.prompts->showError(c.window, error);
}

bool ProtocolExport::Refused(const QString& fileName) {
    // The backup names join folder and name without a separator, as the backups do.
    const QString folder = m_backups.Folder();
    const QStringList own = folder.isEmpty() ? QStringList()
                                             : QStringList{ProtocolBackupName(folder), FinishBackupName(folder),
                                                           RunStateBackupName(folder), JournalFileName(folder)};
    if (!IsProtectedFile(m_platform.programFolder, own, fileName))
        return false;
    Failed(ProtectedFileText(fileName));
    return true;
}

ProtocolExport::~ProtocolExport() {
    m_pool.waitForDone();
}

void ProtocolExport::WriteLater(const QString& fileName, Writer write, std::function<void()> done) {
    // No export writes over a file the program ships or keeps.
    if (Refused(fileName))
        return;
    // The copy shares the texts: taking it costs the window a reference per row.
    auto copy = std::make_shared<const GridCopy>(c.SortGrid1->Data());
    const ExportOptions options = Options();
    const quint64 job = ++m_jobs;
    QTimer::singleShot(kProgressMs, this, [this, job, fileName] {
        if (m_finished < job)
            emit StatusText(QStringLiteral("Wird gespeichert: ") +
                            QDir::toNativeSeparators(QFileInfo(fileName).absoluteFilePath()) + QStringLiteral(" …"));
    });
    m_pool.start([this, copy, options, write = std::move(write), done = std::move(done), fileName, job] {
        const SortGridData grid(*copy);
        QString error;
        const bool ok = write(grid, options, fileName, error);
        QMetaObject::invokeMethod(
            this, [this, job, ok, fileName, error, done] { Finish(job, ok, fileName, error, done); },
            Qt::QueuedConnection);
    });
}

void ProtocolExport::Finish(quint64 job, bool ok, const QString& fileName, const QString& error,
                            const std::function<void()>& done) {
    m_finished = std::max(m_finished, job);
    if (!ok) {
        Failed(error);
        return;
    }
    Written(fileName);
    if (done)
        done();
}

void ProtocolExport::WaitForExports() {
    m_pool.waitForDone();
    // The reports wait in the window's queue: they are handled now.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void ProtocolExport::Export(Entry entry, const QString& fileName) {
    switch (entry) {
    case AllFiles:
        if (QFileInfo(fileName).suffix().compare(QLatin1String("txt"), Qt::CaseInsensitive) != 0) {
            ExportToExcel(fileName, false);
            return;
        }
        [[fallthrough]];
    case Text:
        WriteLater(fileName, [](const SortGridData& grid, const ExportOptions&, const QString& name, QString& error) {
            return WriteGridText(grid, name, &error);
        });
        return;
    case Excel:
        ExportToExcel(fileName, false);
        return;
    case Word:
        ExportToWord(1, fileName);
        return;
    case WebPage:
        WriteLater(fileName, [](const SortGridData& grid, const ExportOptions& o, const QString& name, QString& error) {
            return WriteHtmlList(grid, o, name, &error);
        });
        return;
    case Pdf:
        WriteLater(fileName, [](const SortGridData& grid, const ExportOptions& o, const QString& name, QString& error) {
            return WritePdfList(grid, o, name, &error);
        });
        return;
    }
}

void ProtocolExport::sbSaveClick() {
    emit RankingWanted();
    QCoreApplication::processEvents(); // the corrected grid is drawn before the dialog covers it
    const QStringList filters = SaveFilters();
    int index = m_settings.FilterInd;
    if (index < 1 || index > filters.size())
        index = Excel;
    const QString folder =
        WritableFolder(m_platform.programFolder) ? WithSlash(m_platform.programFolder) : OutputFolder();
    const QString name =
        m_platform.prompts->saveFileName(c.window, folder, FileStamp(m_platform.clock->now()), filters, index);
    if (name.isEmpty())
        return;
    if (index < 1 || index > filters.size())
        index = Excel;
    emit FilterIndexChosen(index);
    const Entry entry = static_cast<Entry>(index);
    Export(entry, NameForEntry(name, entry));
}

void ProtocolExport::sbHTMLClick(int tag) {
    const QString fileName = OutputFolder() + QString::fromLatin1(kProgramTitle) + QStringLiteral(".html");
    // The printer gets the list of the page written, made from the same copy; the job
    // keeps it, so rows recorded while the dialog is open do not mix in. An older page
    // of that name that cannot be replaced stays as it was and is not shown.
    auto list = std::make_shared<ResultList>();
    WriteLater(
        fileName,
        [list, tag](const SortGridData& grid, const ExportOptions& o, const QString& name, QString& error) {
            if (!WriteHtmlList(grid, o, name, &error))
                return false;
            if (tag == 1)
                *list = MakeResultList(grid, o);
            return true;
        },
        [this, fileName, list, tag] {
            if (tag == 0) {
                m_platform.shell->open(fileName);
                return;
            }
            PrintJob job;
            job.file = fileName;
            job.title = m_settings.Title.trimmed().isEmpty()
                            ? QStringLiteral("Ergebnisliste")
                            : QStringLiteral("Ergebnisliste ") + m_settings.Title.trimmed();
            job.landscape = ListWantsLandscape(*list);
            std::shared_ptr<const ResultList> printed = list;
            job.paint = [printed](QPagedPaintDevice& device, int firstPage, int lastPage) {
                return PaintListPages(device, *printed, PageRange{firstPage, lastPage});
            };
            m_platform.shell->print(job);
        });
}

void ProtocolExport::sbWordClick() {
    ExportToWord(0, UniqueFileName(OutputFolder(), FileStamp(m_platform.clock->now()), QStringLiteral(".docx")));
}

void ProtocolExport::sbExcelClick() {
    ExportToExcel(UniqueFileName(OutputFolder(), FileStamp(m_platform.clock->now()), QStringLiteral(".xlsx")), true);
}

void ProtocolExport::ExportToWord(int mode, const QString& fileName) {
    const QString templateFile = TemplateFile();
    WriteLater(
        fileName,
        [templateFile](const SortGridData& grid, const ExportOptions& o, const QString& name, QString& error) {
            return WriteWordDocument(grid, o, templateFile, name, &error);
        },
        [this, mode, fileName] {
            if (mode == 0)
                m_platform.shell->open(fileName);
        });
}

void ProtocolExport::ExportToExcel(const QString& fileName, bool open) {
    WriteLater(
        fileName,
        [](const SortGridData& grid, const ExportOptions& o, const QString& name, QString& error) {
            return WriteExcelWorkbook(grid, o, name, &error);
        },
        [this, open, fileName] {
            if (open)
                m_platform.shell->open(fileName);
        });
}

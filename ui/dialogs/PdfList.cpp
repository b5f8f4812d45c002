#include "ui/dialogs/PdfList.h"

#include "core/base/WriteFailure.h"

#include "core/files/ResultList.h"
#include "ui/dialogs/ListPages.h"

#include <QPdfWriter>
#include <QSaveFile>

#include <cerrno>

bool WritePdfList(const SortGridData& grid, const ExportOptions& options, const QString& fileName, QString* error) {
    const ResultList list = MakeResultList(grid, options);
    QSaveFile file(fileName);
    if (fileName.isEmpty() || !file.open(QIODevice::WriteOnly)) {
        const int errorNumber = errno;
        if (error)
            *error = WriteFailureText(fileName, errorNumber);
        return false;
    }
    int pages = 0;
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageOrientation(ListWantsLandscape(list) ? QPageLayout::Landscape : QPageLayout::Portrait);
        writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        writer.setResolution(300);
        writer.setTitle(options.title);
        writer.setCreator(QString::fromLatin1(kProgramTitle));
        pages = PaintListPages(writer, list);
    }
    if (pages == 0 || !file.commit()) {
        const int errorNumber = errno;
        if (error)
            *error = pages == 0 ? ExportErrorText(fileName, QStringLiteral("Die Seiten lassen sich nicht zeichnen."))
                                : WriteFailureText(fileName, errorNumber);
        file.cancelWriting();
        return false;
    }
    return true;
}

// Result exports of a 10 000-row protocol: HTML list, xlsx, docx and PDF, each
// written to a file, and the printer path (the same pages on a QPrinter printing
// to a PDF file); medians against the grid text backup of the same rows.

#include "BenchUtil.h"
#include "core/files/ExcelWorkbook.h"
#include "core/files/GridTextFile.h"
#include "core/files/HtmlList.h"
#include "core/files/WordDocument.h"
#include "core/grid/SortGridData.h"
#include "ui/dialogs/ListPages.h"
#include "ui/dialogs/PdfList.h"

#include <QApplication>
#include <QPrinter>
#include <QTemporaryDir>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    constexpr int kRows = 10000;
    SortGridData g;
    g.SetColCount(13);
    g.SetRowCount(kRows + 1);
    g.SetRows(0, {"Platz", "St.Nr.", "Vorname", "Nachname", "JG", "Verein", "Klasse", "Kl.-Pl.", "Start", "Stopp",
                  "Zeit", "Split", ""});
    for (int r = 1; r <= kRows; ++r)
        g.SetRows(r, {QString::number(r), QString::number(r + 100), QStringLiteral("Jürgen"),
                      QStringLiteral("Müller-%1").arg(r), QStringLiteral("1980"), QStringLiteral("SV Grün-Weiß"),
                      QStringLiteral("M40"), QString::number(r % 50 + 1), QStringLiteral("10:00:00,00"),
                      QStringLiteral("10:40:00,00"), QStringLiteral("40:%1,00").arg(r % 60, 2, 10, QLatin1Char('0')),
                      QStringLiteral("0,00"), QString::number(r * 1000)});
    const ExportOptions o{QStringLiteral("Bench"), {40, 40, 80, 80, 40, 80, 60, 40, -1, -1, 60, 50, -1}};

    const double text = MedianMs(5, [&] { WriteGridText(g, dir.filePath("b.txt")); });
    const double html = MedianMs(5, [&] { WriteHtmlList(g, o, dir.filePath("b.html")); });
    const double xlsx = MedianMs(3, [&] { WriteExcelWorkbook(g, o, dir.filePath("b.xlsx")); });
    const double docx = MedianMs(3, [&] { WriteWordDocument(g, o, QString(), dir.filePath("b.docx")); });
    const double pdf = MedianMs(3, [&] { WritePdfList(g, o, dir.filePath("b.pdf")); });
    int pages = 0;
    const double print = MedianMs(3, [&] {
        const ResultList list = MakeResultList(g, o);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("p.pdf"));
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageOrientation(ListWantsLandscape(list) ? QPageLayout::Landscape : QPageLayout::Portrait);
        pages = PaintListPages(printer, list);
    });
    std::printf("export %d rows, median ms: text %.1f (baseline), HTML %.1f (goal 50, x%.1f), xlsx %.1f (goal 1000, "
                "x%.1f), docx %.1f (goal 1000, x%.1f), PDF %.1f (goal 3000, x%.1f), print to a PDF printer %.1f "
                "(%d pages, x%.1f)\n",
                kRows, text, html, html / text, xlsx, xlsx / text, docx, docx / text, pdf, pdf / text, print, pages,
                print / text);
    std::printf("figure: export_docx_10k_ms = %.0f\n", docx);
    std::printf("figure: export_pdf_10k_ms = %.0f\n", pdf);
    return 0;
}

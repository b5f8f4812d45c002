#pragma once

// Lays an HTML page out on the pages of a printer or a PDF writer: the page's
// first heading at the top and "Seite n von m" at the bottom of every page;
// table header rows repeat on each page.

#include <QByteArray>
#include <QString>

class QPagedPaintDevice;

// The page's text: its declared character set, where "iso-8859-1" is read as
// Windows-1252 as browsers do.
QString DecodeHtmlPage(const QByteArray& bytes);

// Most columns of any table of the page.
int WidestTable(const QString& html);

// Paints the page; returns the number of pages painted (0 when painting failed).
int PrintHtmlPages(QPagedPaintDevice& device, const QString& html);

#pragma once

// The result list painted page by page, for the PDF file and the printer: the
// title at the top and "Seite n von m" at the foot of every page, the header row
// repeated on each page, the columns and texts of the published page. Rows are laid
// out directly with the painter (no text document), so 10 000 rows take seconds.

#include "core/files/ResultList.h"

#include <functional>

class QPagedPaintDevice;
class QPainter;
class QRectF;

// True when the list is printed on landscape pages (more than 8 columns).
bool ListWantsLandscape(const ResultList& list);

// Pages to paint, numbered from 1 as the footer numbers them; 0 means no limit.
struct PageRange {
    int first = 0;
    int last = 0;
};

// Paints the list into `page` (device coordinates of the painter's device) and calls
// `newPage` between two painted pages; stops when it returns false. Only the pages
// of `range` are painted, numbered as in the whole list. Returns the number of pages
// painted.
int PaintListPages(QPainter& painter, const QRectF& page, const ResultList& list, const std::function<bool()>& newPage,
                   PageRange range = {});

// The same on a PDF writer or printer, into its paint rectangle; 0 when the device
// cannot be painted.
int PaintListPages(QPagedPaintDevice& device, const ResultList& list, PageRange range = {});

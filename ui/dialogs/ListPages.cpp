#include "ui/dialogs/ListPages.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <vector>

namespace {

// Sizes in points; the page's table text is 12 px, which is 9 pt.
constexpr double kBodyPt = 9.0;
constexpr double kTitlePt = 12.0;
constexpr double kFooterPt = 8.0;
constexpr double kPaddingPt = 2.5; // the page's cellpadding of 2 px and its cell border
constexpr double kGapPt = 6.0;     // between title and table, table and footer

const QColor kHeaderBack(0x99, 0x99, 0x99);
const QColor kShadedBack(0xCC, 0xCC, 0xCC);
const QColor kStripeBack(0xEE, 0xEE, 0xEE);

QFont ListFont(double points, bool bold) {
    // The page names Verdana, Arial, Helvetica; Arial resolves to its metric twin.
    QFont font(QStringList{QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QTextOption CellOption(ListAlign align) {
    Qt::Alignment a = Qt::AlignLeft;
    if (align == ListAlign::Right)
        a = Qt::AlignRight;
    else if (align == ListAlign::Center)
        a = Qt::AlignHCenter;
    QTextOption option(a | Qt::AlignTop);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

// Lines a text takes when wrapped into `width`.
int WrappedLines(const QString& text, const QFont& font, QPaintDevice* device, double width) {
    QTextLayout layout(text, font, device);
    layout.setTextOption(CellOption(ListAlign::Left));
    layout.beginLayout();
    int lines = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        ++lines;
    }
    layout.endLayout();
    return std::max(lines, 1);
}

// Advance widths of texts, measured once per distinct text.
class Advances {
public:
    Advances(const QFont& font, QPaintDevice* device) : m_metrics(font, device) {}
    double Of(const QString& text) {
        auto it = m_cache.constFind(text);
        if (it != m_cache.constEnd())
            return *it;
        const double w = m_metrics.horizontalAdvance(text);
        m_cache.insert(text, w);
        return w;
    }

private:
    QFontMetricsF m_metrics;
    QHash<QString, double> m_cache;
};

struct Table {
    std::vector<double> x;      // left edge of each column
    std::vector<double> width;  // width of each column
    std::vector<float> advance; // per data cell, row by row; negative: wrapped
    std::vector<double> rowTop; // per data row, relative to the table's first data row on its page
    std::vector<double> height; // per data row
    std::vector<int> pageStart; // first data row of each page
    double headerHeight = 0;
    bool headerWraps = false;
};

} // namespace

bool ListWantsLandscape(const ResultList& list) {
    return list.columns.size() > 8;
}

int PaintListPages(QPainter& painter, const QRectF& page, const ResultList& list, const std::function<bool()>& newPage,
                   PageRange range) {
    QPaintDevice* device = painter.device();
    if (!device || page.width() <= 0 || page.height() <= 0)
        return 0;
    const double pt = device->logicalDpiY() / 72.0;
    const double pad = kPaddingPt * pt;
    const QFont body = ListFont(kBodyPt, false);
    const QFont bold = ListFont(kBodyPt, true);
    const QFont titleFont = ListFont(kTitlePt, true);
    const QFont footerFont = ListFont(kFooterPt, false);
    const QFontMetricsF bodyMetrics(body, device);
    const QFontMetricsF boldMetrics(bold, device);
    const QFontMetricsF titleMetrics(titleFont, device);
    const QFontMetricsF footerMetrics(footerFont, device);
    const double line = bodyMetrics.lineSpacing();

    const int cols = static_cast<int>(list.columns.size());
    const int rows = static_cast<int>(list.rows.size());
    Table t;

    // Widths from the longest text of each column.
    Advances bodyAdv(body, device);
    Advances boldAdv(bold, device);
    std::vector<double> natural(cols, 0.0);
    t.advance.resize(size_t(rows) * size_t(cols));
    for (int c = 0; c < cols; ++c)
        natural[c] = boldAdv.Of(list.header.value(c));
    for (int r = 0; r < rows; ++r) {
        const QStringList& row = list.rows[r];
        for (int c = 0; c < cols; ++c) {
            const double w = bodyAdv.Of(row.value(c));
            t.advance[size_t(r) * cols + c] = float(w);
            natural[c] = std::max(natural[c], w);
        }
    }
    for (double& w : natural)
        w += 2 * pad + 1; // the advance can be a fraction short of the inked width
    t.width = FitColumnWidths(natural, page.width());
    t.x.resize(cols);
    double x = page.left();
    for (int c = 0; c < cols; ++c) {
        t.x[c] = x;
        x += t.width[c];
    }

    // Row heights: one line, more where a text wraps.
    int headerLines = 1;
    for (int c = 0; c < cols; ++c)
        if (boldAdv.Of(list.header.value(c)) > t.width[c] - 2 * pad) {
            headerLines = std::max(headerLines, WrappedLines(list.header.value(c), bold, device, t.width[c] - 2 * pad));
            t.headerWraps = true;
        }
    t.headerHeight = headerLines * boldMetrics.lineSpacing() + 2 * pad;
    t.height.resize(rows);
    for (int r = 0; r < rows; ++r) {
        int lines = 1;
        for (int c = 0; c < cols; ++c) {
            float& adv = t.advance[size_t(r) * cols + c];
            if (adv > t.width[c] - 2 * pad) {
                lines = std::max(lines, WrappedLines(list.rows[r].value(c), body, device, t.width[c] - 2 * pad));
                adv = -1;
            }
        }
        t.height[r] = lines * line + 2 * pad;
    }

    // Pages: title, table header, as many rows as fit, footer.
    const double titleHeight = titleMetrics.lineSpacing();
    const double footerHeight = footerMetrics.lineSpacing();
    const double tableTop = page.top() + titleHeight + kGapPt * pt;
    const double tableBottom = page.bottom() - footerHeight - kGapPt * pt;
    const double rowSpace = std::max(tableBottom - tableTop - t.headerHeight, line);
    t.rowTop.resize(rows);
    t.pageStart.push_back(0);
    double used = 0;
    for (int r = 0; r < rows; ++r) {
        if (used > 0 && used + t.height[r] > rowSpace) {
            t.pageStart.push_back(r);
            used = 0;
        }
        t.rowTop[r] = used;
        used += t.height[r];
    }
    const int pages = static_cast<int>(t.pageStart.size());
    const double tableWidth = x - page.left();

    std::vector<QTextOption> options;
    for (const ListColumn& col : list.columns)
        options.push_back(CellOption(col.align));
    auto textX = [&](int c, double advance) {
        switch (list.columns[c].align) {
        case ListAlign::Right:
            return t.x[c] + t.width[c] - pad - advance;
        case ListAlign::Center:
            return t.x[c] + (t.width[c] - advance) / 2;
        case ListAlign::Left:
            break;
        }
        return t.x[c] + pad;
    };

    const double bodyAscent = bodyMetrics.ascent();
    const double boldAscent = boldMetrics.ascent();
    const int firstPage = range.first > 0 ? range.first - 1 : 0;
    const int lastPage = range.last > 0 ? std::min(range.last, pages) : pages;
    int painted = 0;
    for (int p = firstPage; p < lastPage; ++p) {
        if (painted > 0 && !newPage())
            return painted;
        ++painted;
        const int first = t.pageStart[p];
        const int last = p + 1 < pages ? t.pageStart[p + 1] : rows;

        painter.setPen(Qt::black);
        painter.setFont(titleFont);
        painter.drawText(QPointF(page.left(), page.top() + titleMetrics.ascent()),
                         titleMetrics.elidedText(list.title, Qt::ElideRight, page.width()));

        // Header row.
        painter.fillRect(QRectF(page.left(), tableTop, tableWidth, t.headerHeight), kHeaderBack);
        painter.setPen(Qt::white);
        painter.setFont(bold);
        for (int c = 0; c < cols; ++c) {
            const QString& text = list.header[c];
            const double adv = boldAdv.Of(text);
            if (adv > t.width[c] - 2 * pad)
                painter.drawText(QRectF(t.x[c] + pad, tableTop + pad, t.width[c] - 2 * pad, t.headerHeight), text,
                                 options[c]);
            else
                painter.drawText(QPointF(textX(c, adv), tableTop + pad + boldAscent), text);
        }

        // Backgrounds: every second row striped, the place columns grey.
        const double rowsTop = tableTop + t.headerHeight;
        const double rowsHeight = last > first ? t.rowTop[last - 1] + t.height[last - 1] : 0;
        for (int r = first; r < last; ++r)
            if ((r - first) % 2 == 0)
                painter.fillRect(QRectF(page.left(), rowsTop + t.rowTop[r], tableWidth, t.height[r]), kStripeBack);
        for (int c = 0; c < cols; ++c)
            if (list.columns[c].shaded)
                painter.fillRect(QRectF(t.x[c], rowsTop, t.width[c], rowsHeight), kShadedBack);

        painter.setPen(Qt::black);
        painter.setFont(body);
        for (int r = first; r < last; ++r) {
            const QStringList& row = list.rows[r];
            const double top = rowsTop + t.rowTop[r];
            for (int c = 0; c < cols && c < row.size(); ++c) {
                const QString& text = row[c];
                if (text.isEmpty())
                    continue;
                const float adv = t.advance[size_t(r) * cols + c];
                if (adv < 0) {
                    painter.save();
                    painter.setClipRect(QRectF(t.x[c], top, t.width[c], t.height[r]));
                    painter.drawText(QRectF(t.x[c] + pad, top + pad, t.width[c] - 2 * pad, t.height[r]), text,
                                     options[c]);
                    painter.restore();
                } else {
                    painter.drawText(QPointF(textX(c, adv), top + pad + bodyAscent), text);
                }
            }
        }

        painter.setFont(footerFont);
        const QString footer = QStringLiteral("Seite %1 von %2").arg(p + 1).arg(pages);
        painter.drawText(QPointF(page.center().x() - footerMetrics.horizontalAdvance(footer) / 2,
                                 page.bottom() - footerHeight + footerMetrics.ascent()),
                         footer);
    }
    return painted;
}

int PaintListPages(QPagedPaintDevice& device, const ResultList& list, PageRange range) {
    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    const QRectF page(0, 0, device.width(), device.height());
    const int pages = PaintListPages(
        painter, page, list, [&device] { return device.newPage(); }, range);
    painter.end();
    return pages;
}

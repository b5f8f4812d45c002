// Drawing of TSortGrid: the cell format request and the cells of the visible rows.
#include "ui/widgets/GridPictures.h"
#include "ui/widgets/TSortGrid.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace {
// Longer texts are cut before measuring and drawing: no cell is wider than this
// many characters on any screen, and a megabyte of text must not stall painting.
constexpr int kMaxDrawnChars = 1000;

QString DrawablePart(const QString& text, TAlignment alignment) {
    if (text.size() <= kMaxDrawnChars)
        return text;
    qsizetype from = 0;
    if (alignment == TAlignment::taRightJustify)
        from = text.size() - kMaxDrawnChars;
    else if (alignment == TAlignment::taCenter)
        from = (text.size() - kMaxDrawnChars) / 2;
    // Never split a surrogate pair.
    if (from > 0 && text.at(from).isLowSurrogate())
        ++from;
    qsizetype len = std::min<qsizetype>(kMaxDrawnChars, text.size() - from);
    if (len > 0 && text.at(from + len - 1).isHighSurrogate())
        --len;
    return text.mid(from, len);
}
} // namespace

TGridDrawState TSortGrid::CellState(int col, int row) const {
    TGridDrawState state;
    if (row == 0) {
        state |= gdFixed;
        return state;
    }
    const TGridRect sel = Selection();
    if (col >= sel.Left && col <= sel.Right && row >= sel.Top && row <= sel.Bottom)
        state |= gdSelected;
    const bool focused = hasFocus() || m_editor->hasFocus();
    if (focused && col == Col() && row == Row())
        state |= gdFocused;
    return state;
}

void TSortGrid::GetCellFormat(int col, int row, TGridDrawState state, TFormatOptions& format, bool& checkBox,
                              bool& comboBox, bool& ellipsis) const {
    const bool highlighted =
        (state & gdSelected) && (!(state & gdFocused) || (m_options & (goDrawFocusSelected | goRowSelect)));
    if (state & gdFixed)
        format.Brush.Color = m_fixedColor;
    else if (highlighted)
        format.Brush.Color = m_selectionColor;
    else
        format.Brush.Color = m_color;
    format.Font = TCellFont(font(), highlighted && !(state & gdFixed) ? m_selectionTextColor
                                                                      : palette().color(QPalette::WindowText));
    format.AlignmentHorz = m_alignmentHorz;
    format.AlignmentVert = m_alignmentVert;
    format.BevelStyle = m_bevelStyle;
    const QPalette& pal = QApplication::palette();
    switch (m_bevelStyle) {
    case TCellBevelStyle::cbRaised:
        format.BevelLight = pal.color(QPalette::Light);
        format.BevelDark = pal.color(QPalette::Dark);
        break;
    case TCellBevelStyle::cbLowered:
        format.BevelLight = pal.color(QPalette::Dark);
        format.BevelDark = pal.color(QPalette::Light);
        break;
    case TCellBevelStyle::cbNone:
        format.BevelLight = format.BevelDark = pal.color(QPalette::Base);
        break;
    }
    format.HideText = false;
    checkBox = comboBox = ellipsis = false;
    if (OnGetCellFormat)
        OnGetCellFormat(const_cast<TSortGrid*>(this), col, row, state, format, checkBox, comboBox, ellipsis);
}

TCellFormat TSortGrid::CellFormat(int col, int row) const {
    TCellFormat cf;
    GetCellFormat(col, row, CellState(col, row), cf.Format, cf.CheckBox, cf.ComboBox, cf.Ellipsis);
    return cf;
}

QString TSortGrid::ShortenHeader(const QString& text, const QFontMetrics& metrics, int width) {
    if (text.size() < 2 || metrics.horizontalAdvance(text) <= width)
        return text;
    QString s = text.left(text.size() - 2) + QStringLiteral("..");
    while (metrics.horizontalAdvance(s) > width && s.size() > 3) {
        s.chop(1);
        s[s.size() - 2] = QLatin1Char('.');
    }
    return s;
}

void TSortGrid::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect area = event->rect();
    const int width = viewport()->width();
    const int height = viewport()->height();

    // Rows: the header, then the scrolled data rows down to the first one below the view.
    std::vector<int> rows;
    if (RowCount() > 0)
        rows.push_back(0);
    int y = RowCount() > 0 ? RowExtent(0) : 0;
    for (int r = TopRow(); r < RowCount() && y < height; ++r) {
        rows.push_back(r);
        y += RowExtent(r);
    }
    const int gridBottom = y;

    int gridRight = 0;
    for (int c = LeftCol(); c < ColCount() && gridRight < width; ++c)
        gridRight += ColExtent(c);

    for (int row : rows) {
        const int top = RowTop(row);
        const int h = RowHeights(row);
        if (h < 0 || top + RowExtent(row) < area.top() || top > area.bottom())
            continue;
        int x = 0;
        for (int c = LeftCol(); c < ColCount() && x < width; ++c) {
            const int w = ColWidths(c);
            const int extent = ColExtent(c);
            if (extent > 0 && x + extent >= area.left() && x <= area.right()) {
                const QRect rect(x, top, std::max(0, w), h);
                if (w > 0 && h > 0)
                    PaintCell(painter, c, row, rect);
                PaintGridLines(painter, c, row, rect);
            }
            x += extent;
        }
    }
    // The part of the view the cells do not cover.
    if (gridRight < width)
        painter.fillRect(QRect(gridRight, 0, width - gridRight, height), m_color);
    if (gridBottom < height)
        painter.fillRect(QRect(0, gridBottom, gridRight, height - gridBottom), m_color);
}

void TSortGrid::PaintGridLines(QPainter& painter, int col, int row, const QRect& rect) {
    if (m_gridLineWidth <= 0)
        return;
    const bool fixed = row == 0;
    const bool vert = m_options & (fixed ? goFixedVertLine : goVertLine);
    const bool horz = m_options & (fixed ? goFixedHorzLine : goHorzLine);
    const QColor lineColor = fixed ? QColor(Qt::gray) : m_gridLineColor;
    const QRect right(rect.x() + rect.width(), rect.y(), m_gridLineWidth, rect.height() + m_gridLineWidth);
    const QRect bottom(rect.x(), rect.y() + rect.height(), rect.width(), m_gridLineWidth);
    painter.fillRect(right, vert ? lineColor : m_color);
    painter.fillRect(bottom, horz ? lineColor : m_color);
    (void)col;
}

void TSortGrid::PaintCell(QPainter& painter, int col, int row, const QRect& rect) {
    ++m_cellPaintCount;
    const TGridDrawState state = CellState(col, row);
    const bool highlighted =
        (state & gdSelected) && (!(state & gdFocused) || (m_options & (goDrawFocusSelected | goRowSelect)));

    // While updating, or with the rows hidden, data rows are only filled.
    if (row > 0 && (Updating() || m_hideRows)) {
        painter.fillRect(rect.adjusted(0, 0, m_gridLineWidth + 1, 1), highlighted ? m_selectionColor : m_color);
        return;
    }

    TCellFormat cf;
    GetCellFormat(col, row, state, cf.Format, cf.CheckBox, cf.ComboBox, cf.Ellipsis);
    TFormatOptions& format = cf.Format;
    const bool checkBox = cf.CheckBox;
    const bool comboBox = cf.ComboBox;
    const bool ellipsis = cf.Ellipsis;
    if (checkBox)
        format.HideText = true;

    const bool rangeRow = (m_options & goRangeSelect) && row > 0 && row >= Selection().Top && row <= Selection().Bottom;
    const bool multiRow = m_multiSelect && row > 0 && IsRowSelected(row) && !(m_options & goEditing);
    if (rangeRow || multiRow) {
        format.Font.Color = m_selectionTextColor;
        format.Brush.Color = m_selectionColor;
    }

    painter.fillRect(rect, format.Brush.Color);
    const TSortOptions& sort = m_data->SortOptions;
    const bool sortHeader = row == 0 && sort.CanSort && col == sort.SortCol;
    if (!format.HideText) {
        const QFontMetrics metrics(format.Font);
        QString text = DrawablePart(Cell(col, row), format.AlignmentHorz);
        if (row == 0)
            text = ShortenHeader(text, metrics, rect.width() - (sortHeader ? 12 : 1));
        const int textWidth = metrics.horizontalAdvance(text);
        const int textHeight = metrics.height();
        int dx = 2;
        if (format.AlignmentHorz == TAlignment::taRightJustify)
            dx = rect.width() - textWidth - 2;
        else if (format.AlignmentHorz == TAlignment::taCenter)
            dx = (rect.width() - textWidth) / 2;
        int dy = 2;
        if (format.AlignmentVert == TVertAlignment::taBottomJustify)
            dy = rect.height() - textHeight - 3;
        else if (format.AlignmentVert == TVertAlignment::taMiddle)
            dy = (rect.height() - textHeight) / 2;
        if (sortHeader)
            dx += 10;
        painter.save();
        painter.setClipRect(rect);
        painter.setFont(format.Font);
        painter.setPen(format.Font.Color);
        painter.drawText(QPoint(rect.x() + dx, rect.y() + dy + metrics.ascent()), text);
        painter.restore();
    }
    if (sortHeader) {
        const QImage& arrow =
            sort.SortDirection == TSortDirection::sdAscending ? GridPictures::Up() : GridPictures::Down();
        const int w = rect.width() <= 10 ? rect.width() - 3 : 8;
        if (w > 0)
            painter.drawImage(QRect(rect.x() + 3, RowHeights(0) / 2 - 4, w, 7), arrow, QRect(0, 0, w, 7));
    }
    if (checkBox) {
        const int w = rect.width() <= 16 ? rect.width() - 1 : 16;
        if (w > 0) {
            const QImage& box = IsChecked(col, row) ? GridPictures::Checked() : GridPictures::Unchecked();
            painter.drawImage(QRect(rect.x() + (rect.width() - w) / 2, rect.y() + RowHeights(row) / 2 - 8, w, 16), box,
                              QRect(0, 0, w, 16));
        }
    }
    const bool editorOpen = EditorMode();
    if (comboBox && row > 0 && ((col == Col() && row == Row()) || (row == Row() && editorOpen))) {
        const int w = std::min(16, rect.width());
        painter.drawImage(QRect(rect.right() + 1 - w, rect.y(), w, rect.height()), GridPictures::ComboBox());
    }
    if (ellipsis && row > 0 && row == Row() && col != Col()) {
        const int w = std::min(16, rect.width());
        painter.drawImage(QRect(rect.right() + 1 - w, rect.y(), w, rect.height()), GridPictures::Ellipsis());
    }
    if (format.BevelStyle != TCellBevelStyle::cbNone && row > 0) {
        if (m_options & goFixedVertLine) {
            painter.fillRect(QRect(rect.right(), rect.y(), 1, rect.height()), format.BevelDark);
            painter.fillRect(QRect(rect.x(), rect.y(), 1, rect.height()), format.BevelLight);
        }
        if (m_options & goFixedHorzLine) {
            painter.fillRect(QRect(rect.x(), rect.bottom(), rect.width(), 1), format.BevelDark);
            painter.fillRect(QRect(rect.x(), rect.y(), rect.width(), 1), format.BevelLight);
        }
    }
    // The focused cell shows a dotted frame unless whole rows are selected.
    if ((state & gdFocused) && !(m_options & goRowSelect) && !editorOpen) {
        painter.save();
        painter.setPen(QPen(format.Font.Color, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
        painter.restore();
    }
}

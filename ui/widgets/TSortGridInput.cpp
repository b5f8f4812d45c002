// Mouse and keys of TSortGrid: selection, header clicks, column sizing, the
// in-place editor with its validation, check boxes, drop-down lists and ellipsis buttons.
#include "ui/widgets/TSortGrid.h"

#include <QApplication>
#include <QDrag>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QStyle>
#include <QWheelEvent>

#include <algorithm>
#include <cstdlib>

namespace {

bool IsPrintable(QChar key) {
    return key.unicode() >= 0x20 && key.unicode() != 0x7f;
}

} // namespace

// --- selection

bool TSortGrid::CanSelect(int col, int row) {
    bool canSelect = true;
    if (EditorMode()) {
        const TCellFormat cf = CellFormat(col, row);
        if (cf.ComboBox) {
            ShowComboList(col, row);
            if (m_tabHeld && col < ColCount() - 2 && row == Row()) {
                m_tabHeld = false;
                SetCol(col + 1);
            }
            canSelect = false;
        } else if (cf.CheckBox) {
            canSelect = false;
        }
        if (!canSelect) {
            viewport()->update();
            return false;
        }
    }
    if (OnSelectCell)
        OnSelectCell(this, col, row, canSelect);
    viewport()->update();
    return canSelect;
}

void TSortGrid::MakeCurrent(int col, int row) {
    col = std::clamp(col, 0, std::max(0, ColCount() - 1));
    row = std::clamp(row, 1, std::max(1, RowCount() - 1));
    if (row >= RowCount())
        return;
    // Moves without asking the cell-selection check and without touching the row selection.
    const bool track = m_data->TrackSelection();
    const bool unchecked = m_uncheckedMove;
    m_uncheckedMove = true;
    m_data->SetTrackSelection(false);
    if (col != Col())
        m_data->SetCol(col);
    if (row != Row())
        m_data->SetRow(row);
    m_data->SetTrackSelection(track);
    m_uncheckedMove = unchecked;
}

void TSortGrid::MoveCurrent(int col, int row, bool extend) {
    col = std::clamp(col, 0, std::max(0, ColCount() - 1));
    row = std::clamp(row, 1, std::max(1, RowCount() - 1));
    if (row >= RowCount())
        return;
    if (!extend) {
        m_data->SetVisibleRowCount(RowsFit());
        m_data->GoToCell(col, row, false);
        if (Col() == col && Row() == row) {
            m_anchorCol = col;
            m_anchorRow = row;
        }
    } else if (CanSelect(col, row)) {
        m_extending = true;
        MakeCurrent(col, row);
        m_extending = false;
    }
    ClampInView(Col(), Row());
    viewport()->update();
}

void TSortGrid::ClampInView(int col, int row) {
    m_data->SetVisibleRowCount(RowsFit());
    if (row < TopRow()) {
        SetTopRow(row);
    } else if (row >= TopRow() + VisibleRowCount() && row < RowCount()) {
        // The row becomes the last fully visible one.
        const int avail = viewport()->height() - RowExtent(0);
        int top = row;
        int y = RowExtent(row);
        while (top > 1 && y + RowExtent(top - 1) <= avail)
            y += RowExtent(--top);
        SetTopRow(top);
    }
    if (m_options & goRowSelect)
        return;
    if (col < LeftCol()) {
        SetLeftCol(col);
    } else {
        while (col >= LeftCol() + VisibleColCount() && LeftCol() < MaxLeftCol()) {
            const int before = LeftCol();
            SetLeftCol(before + 1);
            if (LeftCol() == before)
                break;
        }
    }
}

void TSortGrid::SelectOnlyRow(int row) {
    m_data->SelectRow(row);
    MakeCurrent(Col(), row);
    m_anchorCol = Col();
    m_anchorRow = Row();
}

void TSortGrid::RebuildRowSelectionFromRect() {
    const TGridRect sel = Selection();
    std::vector<int> rows;
    for (int r = std::max(1, sel.Top); r <= sel.Bottom && r < RowCount(); ++r)
        rows.push_back(r);
    m_data->SetSelectedRows(rows);
}

// --- keys

bool TSortGrid::RaiseKeyPress(QChar& key) {
    if (OnKeyPress)
        OnKeyPress(this, key);
    return !key.isNull();
}

// The keys that move the current cell in multi-select: on press they switch the
// track-selection flag on, on release they make the rows of the rectangle the selection.
bool TSortGrid::IsNavigationKey(int key) {
    switch (key) {
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Left:
    case Qt::Key_Right:
        return true;
    default:
        return false;
    }
}

bool TSortGrid::HandleExtendedKeys(QKeyEvent* event) {
    const Qt::KeyboardModifiers mods =
        event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier | Qt::MetaModifier);
    const bool ctrl = mods == Qt::ControlModifier;
    const bool ctrlShift = mods == (Qt::ControlModifier | Qt::ShiftModifier);
    if (event->key() == Qt::Key_Insert && ctrl) {
        InsertRow(Row());
    } else if (event->key() == Qt::Key_Delete && ctrl) {
        if (RowCount() > 2)
            DeleteRow(Row());
    } else if (event->key() == Qt::Key_Insert && ctrlShift) {
        InsertColumn(Col());
    } else if (event->key() == Qt::Key_Delete && ctrlShift) {
        if (ColCount() > 1)
            DeleteColumn(Col());
    } else {
        return false;
    }
    return true;
}

bool TSortGrid::HandleNavigationKey(QKeyEvent* event) {
    int col = Col();
    int row = Row();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool rowSelect = m_options & goRowSelect;
    int step = 0; // direction for skipping hidden columns
    bool tab = false;
    switch (event->key()) {
    case Qt::Key_Up:
        --row;
        break;
    case Qt::Key_Down:
        ++row;
        break;
    case Qt::Key_PageUp:
        row -= std::max(1, VisibleRowCount());
        break;
    case Qt::Key_PageDown:
        row += std::max(1, VisibleRowCount());
        break;
    case Qt::Key_Home:
        if (ctrl || rowSelect)
            row = 1;
        else
            col = 0, step = 1;
        break;
    case Qt::Key_End:
        if (ctrl || rowSelect)
            row = RowCount() - 1;
        else
            col = ColCount() - 1, step = -1;
        break;
    case Qt::Key_Left:
        if (rowSelect) {
            SetLeftCol(LeftCol() - 1);
            return true;
        }
        --col, step = -1;
        break;
    case Qt::Key_Right:
        if (rowSelect) {
            SetLeftCol(LeftCol() + 1);
            return true;
        }
        ++col, step = 1;
        break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: {
        if (!(m_options & goTabs))
            return false;
        tab = true;
        step = (event->key() == Qt::Key_Backtab || shift) ? -1 : 1;
        col += step;
        if (col >= ColCount())
            col = 0, ++row;
        else if (col < 0)
            col = ColCount() - 1, --row;
        break;
    }
    default:
        return false;
    }
    while (step != 0 && col >= 0 && col < ColCount() && ColWidths(col) < 0)
        col += step;
    col = std::clamp(col, 0, std::max(0, ColCount() - 1));
    row = std::clamp(row, 1, std::max(1, RowCount() - 1));
    if (col == Col() && row == Row())
        return true;
    // A typed text is checked before the current cell leaves it.
    ValidateCell();
    m_tabHeld = tab;
    MoveCurrent(col, row, shift && !tab && (m_options & goRangeSelect));
    m_tabHeld = false;
    return true;
}

bool TSortGrid::EditorKeyPress(QKeyEvent* event) {
    bool handled = false;
    if (OnKeyDown)
        OnKeyDown(this, event, handled);
    if (handled)
        return true;
    switch (event->key()) {
    case Qt::Key_Escape: {
        const int col = m_editCol;
        const int row = m_editRow;
        if (Cell(col, row) != m_editorStartText)
            SetCellForEditor(col, row, m_editorStartText);
        if (m_valCol == col && m_valRow == row && m_valText == m_editorStartText) {
            m_valEdited = false;
            SetModified(m_valModified);
        }
        m_editor->setText(m_editorStartText);
        if (!(m_options & goAlwaysShowEditor))
            HideEditor();
        return true;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        QChar key = QLatin1Char('\r');
        if (!RaiseKeyPress(key))
            return true;
        ValidateCell();
        if (!(m_options & goAlwaysShowEditor))
            HideEditor();
        return true;
    }
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        HandleNavigationKey(event);
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (m_options & goTabs) {
            HandleNavigationKey(event);
            return true;
        }
        return false;
    default:
        break;
    }
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    QChar key = text.at(0);
    const QChar typed = key;
    if (!RaiseKeyPress(key))
        return true;
    if (key != typed) {
        if (IsPrintable(key))
            m_editor->insert(QString(key));
        return true;
    }
    return false;
}

void TSortGrid::keyPressEvent(QKeyEvent* event) {
    if (Updating())
        return;
    bool handled = false;
    if (OnKeyDown)
        OnKeyDown(this, event, handled);
    if (handled)
        return;
    if (m_extendedKeys && !EditorMode() && HandleExtendedKeys(event))
        return;
    const bool navigation = IsNavigationKey(event->key());
    if (m_multiSelect && !EditorMode()) {
        if (event->key() == Qt::Key_Shift) {
            SetOption(goRangeSelect, true);
            m_data->ClearSelection();
            m_anchorRow = Row();
            m_anchorCol = Col();
        } else if (event->modifiers() & Qt::ShiftModifier) {
            m_data->SetAnchor(Row());
        }
        m_data->SetTrackSelection(navigation);
    }
    if (HandleNavigationKey(event))
        return;
    if (event->key() == Qt::Key_F2 && CanEditShow()) {
        ShowEditor();
        return;
    }
    const QString text = event->text();
    if (text.isEmpty())
        return;
    QChar key = text.at(0);
    if (!RaiseKeyPress(key))
        return;
    if (key == QLatin1Char('\r') || key == QLatin1Char('\n')) {
        ValidateCell();
        if (!(m_options & goAlwaysShowEditor) && CanEditShow())
            ShowEditor();
        return;
    }
    if (!IsPrintable(key))
        return;
    // With editing on, a typed character opens the editor as it was typed; the
    // search applies where typing cannot edit.
    if (CanEditShow()) {
        ShowEditor(QString(key), true);
        return;
    }
    if (key == QLatin1Char(' ') && CurrentCellHasButton())
        return; // Space works the cell's button on release
    m_data->SetVisibleRowCount(RowsFit());
    m_data->IncrementalSearch(key);
}

void TSortGrid::keyReleaseEvent(QKeyEvent* event) {
    if (Updating())
        return;
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat() && !EditorMode() && Row() >= 1 && Row() < RowCount()) {
        const int col = Col();
        const int row = Row();
        const TCellFormat cf = CellFormat(col, row);
        if (cf.CheckBox)
            ToggleCheckBox(col, row);
        if (cf.ComboBox && !ShowComboList(col, row))
            HideComboList();
    }
    if (m_multiSelect && !EditorMode()) {
        const bool navigation = IsNavigationKey(event->key());
        m_data->SetTrackSelection(true);
        if (event->key() == Qt::Key_Shift && m_data->SelectedRows().empty()) {
            RebuildRowSelectionFromRect();
        } else if (navigation && !(event->modifiers() & Qt::ShiftModifier)) {
            RebuildRowSelectionFromRect();
            SetOption(goRangeSelect, false);
        } else if (navigation) {
            RebuildRowSelectionFromRect();
        }
        if (OnRowSelected)
            OnRowSelected(this);
    }
}

bool TSortGrid::focusNextPrevChild(bool next) {
    if (m_options & goTabs)
        return false; // Tab moves between cells
    return QAbstractScrollArea::focusNextPrevChild(next);
}

// --- mouse

int TSortGrid::SizingColumnAt(const QPoint& pos) const {
    if (pos.y() < 0 || pos.y() >= RowExtent(0))
        return -1;
    int x = 0;
    for (int c = LeftCol(); c < ColCount() && x <= viewport()->width() + 5; ++c) {
        const int extent = ColExtent(c);
        if (extent == 0)
            continue;
        const int right = x + std::max(0, ColWidths(c));
        if (pos.x() >= right - 5 && pos.x() < right + m_gridLineWidth + 5)
            return c;
        x += extent;
    }
    return -1;
}

bool TSortGrid::InHeaderEdgeZone(const QPoint& pos, int col) const {
    const int left = ColLeft(col);
    if (left < 0)
        return true;
    const int width = std::max(0, ColWidths(col));
    return pos.x() < left + 5 || pos.x() >= left + width - 5;
}

void TSortGrid::wheelEvent(QWheelEvent* event) {
    event->accept();
    if (Updating())
        return;
    // Touchpads and fine-stepping wheels send parts of a notch: they add up, and
    // every full notch (120) is one step. A turn the other way starts afresh.
    const int delta = event->angleDelta().y();
    if (delta == 0)
        return;
    if ((delta > 0) != (m_wheelAngle > 0))
        m_wheelAngle = 0;
    m_wheelAngle += delta;
    const int steps = m_wheelAngle / 120;
    m_wheelAngle -= steps * 120;
    m_data->SetVisibleRowCount(RowsFit());
    for (int i = 0; i < std::abs(steps); ++i) {
        if (steps < 0)
            m_data->WheelDown();
        else
            m_data->WheelUp();
    }
}

void TSortGrid::mousePressEvent(QMouseEvent* event) {
    if (Updating())
        return;
    HideComboList();
    if (!hasFocus() && !m_editor->hasFocus())
        setFocus(Qt::MouseFocusReason);
    const QPoint pos = event->position().toPoint();
    TGridCoord coord = MouseCoord(pos.x(), pos.y());
    if (coord.Y < 0)
        coord.Y = RowCount() - 1; // below the rows counts as the last row
    m_pressCell = coord;
    m_pressButton = event->button();
    m_dragStart.reset();
    if (OnMouseDown)
        OnMouseDown(this, event->button(), event->modifiers(), pos.x(), pos.y());
    if (coord.Y == 0) {
        if (event->button() == Qt::LeftButton && (m_options & goColSizing)) {
            const int c = SizingColumnAt(pos);
            if (c >= 0) {
                m_sizingCol = c;
                m_sizingOffset = pos.x() - (ColLeft(c) + std::max(0, ColWidths(c)));
            }
        }
        return;
    }
    if (coord.X < 0 || coord.Y < 1 || event->button() != Qt::LeftButton)
        return;
    if (IsRowSelected(coord.Y))
        m_dragStart = pos;
    const Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
    if (m_multiSelect && !EditorMode()) {
        if (mods == Qt::NoModifier && !IsRowSelected(coord.Y)) {
            SelectOnlyRow(coord.Y);
            if (OnRowSelected)
                OnRowSelected(this);
        } else if ((mods & Qt::ShiftModifier) && (m_options & goRangeSelect)) {
            MoveCurrent(coord.X, coord.Y, true);
        }
        return;
    }
    if (coord.X == Col() && coord.Y == Row() && (m_options & goEditing) && !EditorMode() && CanEditShow()) {
        ShowEditor();
        return;
    }
    MoveCurrent(coord.X, coord.Y, (mods & Qt::ShiftModifier) && (m_options & goRangeSelect));
}

void TSortGrid::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (m_sizingCol >= 0 && (event->buttons() & Qt::LeftButton)) {
        const int left = ColLeft(m_sizingCol);
        if (left >= 0)
            SetColWidths(m_sizingCol, std::max(0, pos.x() - m_sizingOffset - left));
        return;
    }
    if (m_dragStart && event->buttons() == Qt::LeftButton) {
        const QPoint d = pos - *m_dragStart;
        if (std::abs(d.x()) > 10 || std::abs(d.y()) > 10) {
            m_dragStart.reset();
            StartDrag();
            return;
        }
    }
    if (event->buttons() == Qt::NoButton) {
        if ((m_options & goColSizing) && SizingColumnAt(pos) >= 0)
            viewport()->setCursor(Qt::SplitHCursor);
        else
            viewport()->unsetCursor();
        return;
    }
    if ((event->buttons() & Qt::LeftButton) && (m_options & goRangeSelect) && !m_multiSelect && m_pressCell.Y >= 1 &&
        !EditorMode()) {
        const TGridCoord coord = MouseCoord(pos.x(), pos.y());
        if (coord.X >= 0 && coord.Y >= 1 && (coord.X != Col() || coord.Y != Row()))
            MoveCurrent(coord.X, coord.Y, true);
    }
}

void TSortGrid::StartDrag() {
    m_dragging = true;
    QStringList lines;
    for (const int row : m_data->SelectedRows())
        lines << Rows(row).join(QLatin1Char('\t'));
    const QString text = lines.join(QLatin1Char('\n'));
    auto* mime = new QMimeData;
    mime->setText(text);
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->exec(Qt::CopyAction | Qt::MoveAction);
    m_dragging = false;
}

void TSortGrid::mouseReleaseEvent(QMouseEvent* event) {
    if (m_dragging || Updating())
        return;
    m_dragStart.reset();
    const QPoint pos = event->position().toPoint();
    const TGridCoord coord = MouseCoord(pos.x(), pos.y());
    const Qt::MouseButton button = event->button();
    if (m_sizingCol >= 0) {
        m_sizingCol = -1;
        return;
    }
    if (coord.Y == 0 && m_pressCell.Y == 0 && coord.X >= 0 && coord.X == m_pressCell.X &&
        !InHeaderEdgeZone(pos, coord.X)) {
        TSortOptions& sort = SortOptions();
        const bool again = sort.SortDirection == TSortDirection::sdAscending && sort.SortCol == coord.X;
        sort.SortDirection = again ? TSortDirection::sdDescending : TSortDirection::sdAscending;
        if (button == Qt::RightButton)
            sort.SortDirection = TSortDirection::sdDescending;
        SortByColumn(coord.X);
        viewport()->update();
    } else if (button == Qt::RightButton && coord.Y != 0 && m_popupMenu) {
        m_popupMenu->popup(event->globalPosition().toPoint());
    }

    const bool sameCell = coord.X >= 0 && coord.Y >= 1 && coord.X == m_pressCell.X && coord.Y == m_pressCell.Y;
    if (button == Qt::LeftButton && sameCell) {
        const TCellFormat cf = CellFormat(coord.X, coord.Y);
        if (cf.CheckBox)
            ToggleCheckBox(coord.X, coord.Y);
        if (cf.ComboBox)
            ShowComboList(coord.X, coord.Y);
    }

    if (button == Qt::LeftButton && m_multiSelect && !EditorMode() && coord.Y >= 1 && coord.Y < RowCount()) {
        const Qt::KeyboardModifiers mods = event->modifiers();
        if (mods & Qt::ControlModifier) {
            if (!IsRowSelected(coord.Y)) {
                m_data->AddSelectedRow(coord.Y);
                MakeCurrent(Col(), coord.Y);
            } else if (m_data->SelectedRows().size() > 1) {
                m_data->RemoveSelectedRow(coord.Y);
                const int anchor = m_data->Anchor();
                MakeCurrent(Col(), IsRowSelected(anchor) ? anchor : m_data->SelectedRows().back());
            }
            SetOption(goRangeSelect, false);
        } else if (mods & Qt::ShiftModifier) {
            RebuildRowSelectionFromRect();
        } else {
            SetOption(goRangeSelect, false);
            SelectOnlyRow(coord.Y);
        }
        if (OnRowSelected)
            OnRowSelected(this);
    }

    if (button == Qt::LeftButton)
        ValidateCell();
}

void TSortGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    if (Updating())
        return;
    const QPoint pos = event->position().toPoint();
    const TGridCoord coord = MouseCoord(pos.x(), pos.y());
    if (event->button() == Qt::LeftButton && coord.Y == 0 && coord.X >= 0) {
        const int left = ColLeft(coord.X);
        const int right = left + std::max(0, ColWidths(coord.X));
        if (std::abs(pos.x() - right) <= 3) {
            AutoSizeColumn(coord.X, true);
        } else if (pos.x() - left <= 3) {
            int prev = coord.X - 1;
            while (prev >= 0 && ColExtent(prev) == 0)
                --prev;
            if (prev >= 0)
                AutoSizeColumn(prev, true);
        }
    }
    mousePressEvent(event);
    // Only a double click on a data row is the row's double click.
    if (coord.Y >= 1 && event->button() == Qt::LeftButton && OnDblClick)
        OnDblClick(this);
}

// --- focus

bool TSortGrid::FocusLeftGrid() const {
    const QWidget* w = QApplication::focusWidget();
    return !(w && (w == this || isAncestorOf(w)));
}

void TSortGrid::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    if (!m_valEdited)
        RememberForValidation();
    if ((m_options & goAlwaysShowEditor) && !EditorMode() && CanEditShow())
        ShowEditor();
    viewport()->update();
}

void TSortGrid::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    if (FocusLeftGrid())
        ValidateCell();
    viewport()->update();
}

bool TSortGrid::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_editor) {
        switch (event->type()) {
        case QEvent::KeyPress:
            return EditorKeyPress(static_cast<QKeyEvent*>(event));
        case QEvent::FocusOut:
            if (FocusLeftGrid())
                ValidateCell();
            viewport()->update();
            return false;
        default:
            return false;
        }
    }
    if (m_comboList && (watched == m_comboList || watched == m_comboList->viewport())) {
        switch (event->type()) {
        case QEvent::MouseButtonRelease:
            if (watched == m_comboList->viewport()) {
                CommitCombo();
                return true;
            }
            return false;
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Escape) {
                HideComboList();
                return true;
            }
            return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
        }
        case QEvent::KeyRelease: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
                CommitCombo();
                return true;
            }
            return false;
        }
        case QEvent::FocusOut:
            CommitCombo();
            return false;
        default:
            return false;
        }
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

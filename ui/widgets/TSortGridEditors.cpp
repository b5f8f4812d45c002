// The cell editors of TSortGrid: the in-place text editor with its validation,
// check boxes and the drop-down list.
#include "ui/widgets/TSortGrid.h"

#include "core/grid/CellText.h"

#include <QLineEdit>
#include <QListWidget>
#include <QStyle>

#include <algorithm>

// --- the in-place editor

bool TSortGrid::EditorMode() const {
    return !m_editor->isHidden();
}

void TSortGrid::SetEditorMode(bool on) {
    if (on)
        ShowEditor();
    else
        HideEditor();
}

bool TSortGrid::CurrentCellHasButton() const {
    if (Row() < 1 || Row() >= RowCount())
        return false;
    const TCellFormat cf = CellFormat(Col(), Row());
    return cf.CheckBox || cf.ComboBox || cf.Ellipsis;
}

bool TSortGrid::CanEditShow() const {
    if (!(m_options & goEditing) || (m_options & goRowSelect) || Updating())
        return false;
    if (Row() < 1 || Row() >= RowCount() || Col() < 0 || Col() >= ColCount() || ColWidths(Col()) < 0)
        return false;
    // Check boxes and drop-down lists are their own editors.
    const TCellFormat cf = CellFormat(Col(), Row());
    return !cf.CheckBox && !cf.ComboBox;
}

void TSortGrid::ShowEditor(const QString& initial, bool replace) {
    if (!CanEditShow())
        return;
    // An edit of another cell still waiting for its check is checked first.
    if (m_valEdited && (m_valCol != Col() || m_valRow != Row()))
        ValidateCell();
    if (!m_valEdited)
        RememberForValidation();
    m_editCol = Col();
    m_editRow = Row();
    m_editorStartText = Cell(m_editCol, m_editRow);
    m_editCellText = m_editorStartText;
    m_editor->setFont(font());
    m_editor->setText(m_editorStartText);
    PlaceEditor();
    m_editor->show();
    m_editor->setFocus(Qt::OtherFocusReason);
    if (replace) {
        m_editor->setText(initial);
        EditorTextEdited(initial);
    } else {
        m_editor->selectAll();
    }
    viewport()->update();
}

void TSortGrid::HideEditor() {
    if (!EditorMode())
        return;
    if (m_editor->hasFocus())
        setFocus(Qt::OtherFocusReason);
    m_editor->hide();
    m_editCol = m_editRow = -1;
    viewport()->update();
}

void TSortGrid::PlaceEditor() {
    const QRect rect = CellRect(m_editCol, m_editRow);
    if (rect.isEmpty())
        m_editor->setGeometry(-10000, -10000, 10, 10); // scrolled out of view, keeps its focus
    else
        m_editor->setGeometry(rect);
}

void TSortGrid::EditorTextEdited(const QString& typed) {
    // Pasted text may bring line breaks and TABs: the cell keeps one line.
    const QString text = SingleLineCellText(typed);
    if (text != typed) {
        const int cursor = m_editor->cursorPosition();
        m_editor->setText(text);
        m_editor->setCursorPosition(cursor);
    }
    if (m_editCol < 0 || m_editRow < 0 || text == Cell(m_editCol, m_editRow))
        return;
    SetModified(true);
    if (m_valCol == m_editCol && m_valRow == m_editRow)
        m_valEdited = true;
    SetCellForEditor(m_editCol, m_editRow, text);
}

void TSortGrid::RememberForValidation() {
    m_valCol = Col();
    m_valRow = Row();
    m_valText = Cell(m_valCol, m_valRow);
    m_valModified = Modified();
    m_valEdited = false;
}

void TSortGrid::ValidateCell() {
    if (m_validating)
        return;
    if (!m_valEdited) {
        RememberForValidation();
        return;
    }
    m_validating = true;
    const int col = m_valCol;
    const int row = m_valRow;
    const QString oldValue = m_valText;
    const QString current = Cell(col, row);
    if (current != oldValue) {
        QString newValue = current;
        bool valid = true;
        if (OnCellValidate)
            OnCellValidate(this, col, row, oldValue, newValue, valid);
        if (valid) {
            if (newValue != Cell(col, row))
                SetCellForEditor(col, row, newValue);
        } else {
            SetCellForEditor(col, row, newValue != Cell(col, row) ? newValue : oldValue);
            SetModified(m_valModified);
        }
        if (EditorMode() && m_editCol == col && m_editRow == row && m_editor->text() != Cell(col, row))
            m_editor->setText(Cell(col, row));
    }
    m_validating = false;
    RememberForValidation();
}

// --- check boxes, drop-down lists, ellipsis buttons

bool TSortGrid::IsChecked(int col, int row) const {
    const TCellFormat cf = CellFormat(col, row);
    if (!cf.CheckBox)
        return false;
    const QString text = Cell(col, row);
    return text == QLatin1String("true") || text == QLatin1String("?") || text == QLatin1String("v");
}

void TSortGrid::SetChecked(int col, int row, bool state) {
    const TCellFormat cf = CellFormat(col, row);
    if (!cf.CheckBox)
        return;
    SetCell(col, row, state ? QStringLiteral("v") : QString());
    viewport()->update();
    if (OnSetChecked)
        OnSetChecked(this, col, row, state);
}

void TSortGrid::ToggleCheckBox(int col, int row) {
    SetChecked(col, row, !IsChecked(col, row));
}

bool TSortGrid::ShowComboList(int col, int row) {
    if (!m_comboList || col < 0 || col >= ColCount() || row < 1 || row >= RowCount())
        return false;
    const TCellFormat cf = CellFormat(col, row);
    if (!cf.ComboBox || !OnGetComboBox)
        return false;
    QStringList strs;
    int width = 0;
    int height = 0;
    bool sorted = true;
    OnGetComboBox(this, col, row, strs, width, height, sorted);
    if (strs.isEmpty())
        return false;

    // On the window, so that the list may stand above the grid.
    QWidget* host = window();
    if (m_comboList->parentWidget() != host)
        m_comboList->setParent(host);
    m_comboList->setFont(font());
    m_comboList->setSortingEnabled(false);
    m_comboList->clear();
    m_comboList->addItems(strs);
    if (sorted)
        m_comboList->sortItems();
    const QList<QListWidgetItem*> same = m_comboList->findItems(Cell(col, row), Qt::MatchExactly);
    m_comboList->setCurrentRow(same.isEmpty() ? 0 : m_comboList->row(same.first()));

    const int itemHeight = std::max(1, m_comboList->sizeHintForRow(0));
    const int n = m_comboList->count();
    const int h = (height != 0 || n >= 10 ? 10 : n) * itemHeight + 5;
    const QRect cell = CellRect(col, row);
    const int w = width != 0 ? width : cell.width() + style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const QPoint topLeft = viewport()->mapTo(host, cell.topLeft());
    int top = topLeft.y() - h; // bottom-left corner on the cell's top-left corner
    if (top < 0)
        top = topLeft.y() + cell.height(); // no room above: below the cell
    m_comboList->setGeometry(topLeft.x(), top, w, h);
    m_comboCol = col;
    m_comboRow = row;
    m_comboList->show();
    m_comboList->raise();
    m_comboList->setFocus(Qt::OtherFocusReason);
    return true;
}

void TSortGrid::HideComboList() {
    if (!m_comboList || m_comboList->isHidden())
        return;
    m_comboCol = m_comboRow = -1; // hiding moves the focus: that must not choose
    if (m_comboList->hasFocus())
        setFocus(Qt::OtherFocusReason);
    m_comboList->hide();
}

void TSortGrid::CommitCombo() {
    if (m_committingCombo || m_comboCol < 0 || !m_comboList || m_comboList->isHidden())
        return;
    m_committingCombo = true;
    const int col = m_comboCol;
    const int row = m_comboRow;
    m_comboCol = m_comboRow = -1;
    const QListWidgetItem* item = m_comboList->currentItem();
    const QString text = item ? item->text() : QString();
    if (m_comboList->hasFocus())
        setFocus(Qt::OtherFocusReason);
    m_comboList->hide();
    if (item && row < RowCount() && col < ColCount()) {
        SetCell(col, row, text);
        viewport()->update();
        if (OnSetComboBox)
            OnSetComboBox(this, col, row, text);
    }
    m_committingCombo = false;
}
